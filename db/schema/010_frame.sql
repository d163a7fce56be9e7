-- Dictionary, clients, PDA users and depot roles: what start-up and the signature checks read.
SET client_min_messages = warning;

-- Dictionary rows: a name and its value ("45" is the site value); a name may have several rows in
-- diposition order ("d_ctrlcode").
CREATE TABLE IF NOT EXISTS dbo.sys_dict (
  iid serial PRIMARY KEY,
  dcname citext NOT NULL,
  dcvalue varchar(255) NOT NULL DEFAULT '',
  diposition integer NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS sys_dict_dcname ON dbo.sys_dict (dcname, diposition);

-- Clients. capikey is the key of request signatures (7 to 31 characters); the first byte of voption
-- holds the client's option bits.
CREATE TABLE IF NOT EXISTS dbo.client_arc (
  icid integer PRIMARY KEY,
  capikey varchar(32) NOT NULL DEFAULT '',
  voption bytea NOT NULL DEFAULT '\x00'::bytea
);

-- PDA users: the PDA id (case-sensitive), the operator's name and station.
CREATE TABLE IF NOT EXISTS dbo.man_main (
  cpda varchar(32) PRIMARY KEY,
  mcname varchar(32) NOT NULL DEFAULT '',
  mcstation varchar(16) NOT NULL DEFAULT ''
);

-- The depot each operator works for.
CREATE TABLE IF NOT EXISTS dbo.w_depot_role (
  cname varchar(32) NOT NULL,
  cdepot citext NOT NULL
);
CREATE INDEX IF NOT EXISTS w_depot_role_cname ON dbo.w_depot_role (cname);
