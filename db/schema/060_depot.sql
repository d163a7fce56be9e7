-- Depots: the depot header, its operations with their fees and standard times, packing boxes and
-- picking carts; the clients of each depot; the goods definitions; stock moves between depots; the
-- handover rights of depot roles.
--
-- Depot codes are compared byte-exact (varchar, not citext): "d01" is not "D01". Goods codes and the
-- numbers of goods-in records, orders and moves are compared exactly as the requests write them.
-- Time stamps are NOT NULL; 1900-01-01 means "not yet" (a move not signed, say).
SET client_min_messages = warning;

-- ---- depots -------------------------------------------------------------------------------------
-- nstate 0: in service. The six flags are set when their value is exactly 1; iex1..iex3 are kept in
-- millionths.
CREATE TABLE IF NOT EXISTS dbo.w_depot (
  cdepot varchar(3) PRIMARY KEY
);
ALTER TABLE dbo.w_depot
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nconfirm0 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nconfirm1 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nconfirm2 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ncheck0 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ncheck1 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ncheck2 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cname varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddr varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cshelfb varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cshelfe varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fwpufee numeric(12,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iex1 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iex2 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iex3 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS voption bytea NOT NULL DEFAULT '\x'::bytea;

-- The operations of a depot (ntype as GetWarehouseOperationName names them): standard seconds and
-- wage per piece.
CREATE TABLE IF NOT EXISTS dbo.w_operate_define (
  iid serial PRIMARY KEY,
  cdepot varchar(3) NOT NULL,
  ntype smallint NOT NULL
);
ALTER TABLE dbo.w_operate_define
  ADD COLUMN IF NOT EXISTS ngrade smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cname varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnamee varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iseconds integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cpoint varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fwage numeric(12,4) NOT NULL DEFAULT 0;
CREATE UNIQUE INDEX IF NOT EXISTS w_operate_define_depot_type ON dbo.w_operate_define (cdepot, ntype);

-- Packing boxes (nbox 1) and picking carts of a depot; nstate 0: in use.
CREATE TABLE IF NOT EXISTS dbo.w_package (
  ipid serial PRIMARY KEY,
  cdepot varchar(3) NOT NULL
);
ALTER TABLE dbo.w_package
  ADD COLUMN IF NOT EXISTS cname varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ilong integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iwidth integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iheight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fmaxload numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nbox smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS w_package_cdepot ON dbo.w_package (cdepot);

CREATE TABLE IF NOT EXISTS dbo.w_depot_cart (
  iaid serial PRIMARY KEY,
  cdepot varchar(3) NOT NULL
);
ALTER TABLE dbo.w_depot_cart
  ADD COLUMN IF NOT EXISTS ccode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cname varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iorder integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iitem integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS icubic integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ipos integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS w_depot_cart_cdepot ON dbo.w_depot_cart (cdepot);

-- A client's shelf range, contact and notes in one depot.
CREATE TABLE IF NOT EXISTS dbo.w_client (
  icid integer NOT NULL,
  cdepot varchar(3) NOT NULL,
  PRIMARY KEY (icid, cdepot)
);
ALTER TABLE dbo.w_client
  ADD COLUMN IF NOT EXISTS cshelfb varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cshelfe varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS clinkman varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(255) NOT NULL DEFAULT '';
CREATE INDEX IF NOT EXISTS w_client_cdepot ON dbo.w_client (cdepot);

-- ---- depot roles --------------------------------------------------------------------------------
-- nrights is a mask: 1 goods-in handover, 2 goods-out handover, 4 picking confirmation; cpassword is
-- compared case-sensitively.
ALTER TABLE dbo.w_depot_role
  ADD COLUMN IF NOT EXISTS nrights integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cpassword varchar(31) NOT NULL DEFAULT '';

-- ---- goods definitions --------------------------------------------------------------------------
-- One row per article a client stores. The goods code is unique; a client's own code and a client's
-- goods name are unique for that client. Sides are kept in ten-thousandths, ntype 1 marks goods
-- counted by serial number.
CREATE TABLE IF NOT EXISTS dbo.w_goods_define (
  giid serial PRIMARY KEY,
  icid integer NOT NULL DEFAULT 0,
  cgcode varchar(63) NOT NULL DEFAULT ''
);
ALTER TABLE dbo.w_goods_define
  ADD COLUMN IF NOT EXISTS cccode varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cname varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnamee varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ckind varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cunit varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ilong integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iwidth integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iheight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ccolor varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csize varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cbrand varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmodel varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nshare smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nqc smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fwpu numeric(12,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iedays integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS wfreedays integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS chscode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgpccode varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cproducer varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS corigin varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iweightdiff integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cweightunit varchar(3) NOT NULL DEFAULT 'KGM',
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT '1900-01-01';
CREATE UNIQUE INDEX IF NOT EXISTS w_goods_define_cgcode ON dbo.w_goods_define (cgcode) WHERE cgcode <> '';
CREATE UNIQUE INDEX IF NOT EXISTS w_goods_define_cccode ON dbo.w_goods_define (icid, cccode) WHERE cccode <> '';
CREATE UNIQUE INDEX IF NOT EXISTS w_goods_define_cname ON dbo.w_goods_define (icid, cname) WHERE cname <> '';

-- ---- stock moves between depots -----------------------------------------------------------------
-- A move leaves cdepotf and arrives at cdepotd; cout/dout record who signed it out and when, cin/din
-- who signed it in.
CREATE TABLE IF NOT EXISTS dbo.w_move (
  imid serial PRIMARY KEY,
  cnum varchar(30) NOT NULL DEFAULT ''
);
ALTER TABLE dbo.w_move
  ADD COLUMN IF NOT EXISTS giid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS inormal integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS idefective integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cdepotf varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdepotd varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinput varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cbatch varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cout varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dout timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cin varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS din timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS ix integer;
CREATE INDEX IF NOT EXISTS w_move_cdepotf ON dbo.w_move (cdepotf, ddate);
CREATE INDEX IF NOT EXISTS w_move_cdepotd ON dbo.w_move (cdepotd, ddate);
CREATE INDEX IF NOT EXISTS w_move_cnum ON dbo.w_move (cnum);
