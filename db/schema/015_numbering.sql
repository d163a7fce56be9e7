-- Number sequences. sys_genno: the sequences drawn by rule id ("8831*") with the prefix, suffix,
-- width and check type that dress their numbers. sys_num: the sequences drawn by rule text (an express
-- kind or a rule name) for one client, or for every client (icid 0); their numbers come back as text.
SET client_min_messages = warning;

CREATE TABLE IF NOT EXISTS dbo.sys_genno (
  iid integer PRIMARY KEY,
  cname varchar(32) NOT NULL DEFAULT '',
  cprefix varchar(4) NOT NULL DEFAULT '',
  csuffix varchar(4) NOT NULL DEFAULT '',
  iwidth integer NOT NULL DEFAULT 8,
  nchecktype integer NOT NULL DEFAULT 0,
  inext bigint NOT NULL DEFAULT 1 CHECK (inext >= 0),
  ilast bigint              -- the last number of the range; NULL: no end
);

CREATE TABLE IF NOT EXISTS dbo.sys_num (
  crule citext NOT NULL,
  icid integer NOT NULL DEFAULT 0,
  cprefix varchar(20) NOT NULL DEFAULT '',
  iwidth integer NOT NULL DEFAULT 8,
  inext bigint NOT NULL DEFAULT 1 CHECK (inext >= 0),
  PRIMARY KEY (crule, icid)
);
