-- Goods going out of depots: orders with their goods lines, the picking carts that collect them,
-- the goods-out rows of an order, and the bookings an order out makes.
SET client_min_messages = warning;

-- ---- orders -------------------------------------------------------------------------------------
-- nstate: below 10 not ready, 10 ready, 20 picked, 50 or more out. icartid names the cart the order
-- is picked with (w_order_cart.icartid). Numbers (cnum, cno) are compared exactly as written.
CREATE TABLE IF NOT EXISTS dbo.w_order (
  ioid serial PRIMARY KEY,
  cdepot varchar(3) NOT NULL DEFAULT '',
  icartid integer NOT NULL DEFAULT 0,
  icid integer NOT NULL DEFAULT 0,
  nstate smallint NOT NULL DEFAULT 0,
  cnum varchar(30) NOT NULL DEFAULT '',
  cno varchar(30) NOT NULL DEFAULT ''
);
ALTER TABLE dbo.w_order
  ADD COLUMN IF NOT EXISTS nfrom smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nlanguage smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iitem integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cinput varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crefer varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cemskind varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdes varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cbatch varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS creceiver varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cunitname varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddr varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccountry varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cprovince varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccity varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cremail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crsms varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csender varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csunitname varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csaddr varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cspostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscountry varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csprovince varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscity varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csemail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csmsnumber varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmname varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgoods varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cpacking varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctransnote varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS idvalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iivalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS corigin varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fweight numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgoods numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgoodsc numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nbox smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nvoiddel smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ninvoice smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nlist smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cby1 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby2 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby3 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby4 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby5 varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS icubic integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fqcout numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpackm numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpackl numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS forder numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fother numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS daud timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS caud varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dchoose timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cchoose varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dcheck timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS ccheck varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dout timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cout varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cconfirm varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dsysdate timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS nprice smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS famount numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ccno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdepart varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dpack timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cpack varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgoodsa varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodea varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodeb varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodec varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fgcustom numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgcrate numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS icategory integer NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS w_order_cnum ON dbo.w_order (cdepot, cnum);
CREATE INDEX IF NOT EXISTS w_order_cno ON dbo.w_order (cdepot, cno);
CREATE INDEX IF NOT EXISTS w_order_icartid ON dbo.w_order (icartid, cdepot);

-- The goods lines of an order: irealout the pieces to pick.
CREATE TABLE IF NOT EXISTS dbo.w_order_item (
  iid serial PRIMARY KEY,
  ioid integer NOT NULL,
  giid integer NOT NULL
);
ALTER TABLE dbo.w_order_item
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS irealout integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS wpos integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fprice numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweight numeric(14,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cex1 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cex2 varchar(63) NOT NULL DEFAULT '';
CREATE INDEX IF NOT EXISTS w_order_item_ioid ON dbo.w_order_item (ioid);

-- ---- picking carts ------------------------------------------------------------------------------
-- A cart id belongs to one depot. nstate: 0 made, 1 printed, 2 chosen by a picker, 3 or more
-- confirmed.
CREATE TABLE IF NOT EXISTS dbo.w_order_cart (
  iaid serial PRIMARY KEY,
  cdepot varchar(3) NOT NULL DEFAULT '',
  icartid integer NOT NULL
);
ALTER TABLE dbo.w_order_cart
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS cinput varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iorder integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS icatgory integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dprint timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cprint varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dchoose timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cchoose varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dconfirm timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cconfirm varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '';
CREATE UNIQUE INDEX IF NOT EXISTS w_order_cart_icartid ON dbo.w_order_cart (icartid);

-- ---- goods out ----------------------------------------------------------------------------------
-- The pieces of one goods item an order takes out; nstate as the order's.
CREATE TABLE IF NOT EXISTS dbo.w_g_out (
  iid serial PRIMARY KEY,
  ioid integer NOT NULL,
  giid integer NOT NULL
);
ALTER TABLE dbo.w_g_out
  ADD COLUMN IF NOT EXISTS cbatch varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fqcout numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS inormal integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS idefective integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(255) NOT NULL DEFAULT '';
CREATE INDEX IF NOT EXISTS w_g_out_ioid ON dbo.w_g_out (ioid, giid);

-- The booking of an order out: who handed it over, how many pieces left.
CREATE TABLE IF NOT EXISTS dbo.w_order_out_book (
  irid serial PRIMARY KEY,
  ioid integer NOT NULL
);
ALTER TABLE dbo.w_order_out_book
  ADD COLUMN IF NOT EXISTS cdepot varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cconfirm varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0);
