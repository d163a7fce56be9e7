-- The label store: carrier label PDFs kept as rows of file_share with ngrade 119. A row is written as
-- a placeholder (ilen 0, no data) when the carrier accepts an order, and gets its PDF when the label
-- worker has fetched it. ckind: 'EUB_Label', 'AUPOSTX_Lbl' or 'SFEX_Label'; ctitle: "key:time" or
-- "key@reference:time"; ckey: the mail number; corder: the order id given with the placeholder.
ALTER TABLE dbo.file_share
  ADD COLUMN IF NOT EXISTS corder varchar(31) NOT NULL DEFAULT '';
-- The sweep looks for placeholders of one kind by date; label requests look a row up by mail number.
CREATE INDEX IF NOT EXISTS file_share_label_sweep ON dbo.file_share (ngrade, ckind, ilen, ddate);
CREATE INDEX IF NOT EXISTS file_share_label_key ON dbo.file_share (ngrade, ckind, ckey);
