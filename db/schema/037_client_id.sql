-- Client road, identity: the ID-card pictures of receivers (x_sri), the columns client creation
-- stores in client_arc beyond those of the reading road, and the member column of the in-system
-- login.
SET client_min_messages = warning;

-- ---- ID-card pictures ---------------------------------------------------------------------------
-- One receiver's identity record: the name and card number customs asks for, and the joined,
-- watermarked picture of the card's two sides (pdata1, a JPEG of ilen1 bytes, stored as file name
-- cfile1 at df1). icid is the client the record belongs to; only that client may replace its
-- picture. nt1..nt3 are the picture-type flags (exactly one is 1), csource who made the record,
-- cinitial the first letter of the receiver's name ("$" when it has none).
CREATE TABLE IF NOT EXISTS dbo.x_sri (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.x_sri
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ikind integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS csource varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nt1 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nt2 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nt3 smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS crname varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crnamee varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cidcard citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cex1 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinitial char(1) NOT NULL DEFAULT '$',
  ADD COLUMN IF NOT EXISTS pdata1 bytea,
  ADD COLUMN IF NOT EXISTS df1 timestamp,
  ADD COLUMN IF NOT EXISTS cfile1 varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ilen1 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP,
  ADD COLUMN IF NOT EXISTS dmod timestamp;
CREATE INDEX IF NOT EXISTS x_sri_icid ON dbo.x_sri (icid);
CREATE INDEX IF NOT EXISTS x_sri_cidcard ON dbo.x_sri (cidcard);

-- ---- client accounts made by partners -----------------------------------------------------------
-- New clients get the next free id of this sequence (ids set by other programs are skipped).
CREATE SEQUENCE IF NOT EXISTS dbo.client_arc_icid_seq;
ALTER TABLE dbo.client_arc
  ADD COLUMN IF NOT EXISTS cmemo varchar(1022) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ckind varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cbrief varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS npayway smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS corder varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP;
-- An account names one client (compared without case); clients without an account are not counted.
CREATE UNIQUE INDEX IF NOT EXISTS client_arc_caccount ON dbo.client_arc (lower(caccount)) WHERE caccount <> '';

-- ---- member logins ------------------------------------------------------------------------------
-- wcid: the member's site; a login is the site, the account and the password.
ALTER TABLE quillon.member_main
  ADD COLUMN IF NOT EXISTS wcid varchar(30) NOT NULL DEFAULT '';
