-- Demo rows of the client road for client 1001: its account and member login, three pre-input
-- shipments (the first with three goods lines), two shipment records (one with tracking events) and
-- three fee rows. Loading it again replaces the same rows.

UPDATE dbo.client_arc SET cunitname = '深圳示例贸易有限公司', cunitnamee = 'Shenzhen Demo Trading Co., Ltd.',
  caddr = '深圳市南山区科技园南路 88 号', caddre = '88 Keji South Rd, Nanshan, Shenzhen', ccity = '深圳',
  ccitye = 'Shenzhen', cpostcode = '518057', cprovince = '广东', cprovincee = 'Guangdong', ccountry = '中国',
  ccountrye = 'China', csender = '李明', csendere = 'Li Ming', cphone = '0755-86001234', cemail = 'ops@demo.example',
  caccount = 'C1001', csmnumber = '13800138000', cwebac = 'demo1001', cstation = 'SZX', cwechat = 'wx-demo-1001',
  fcredit = 5000, fdeposit = 1280.50, fpay0 = 320.00, ipay0 = 4, fpay1 = 45.50, ipay1 = 1
  WHERE icid = 1001;

-- The member password is kept scrambled: 'demo2026' as the client requests answer it.
INSERT INTO quillon.member_main (mcaccount, mcpassword) VALUES ('demo1001', 'onfd9;9=')
  ON CONFLICT (mcaccount) DO UPDATE SET mcpassword = EXCLUDED.mcpassword;

DELETE FROM dbo.rec_pre_input_goods WHERE iid IN (1, 2, 3);
DELETE FROM dbo.rec_pre_input WHERE iid IN (1, 2, 3);
INSERT INTO dbo.rec_pre_input (iid, icid, irid, nitemtype, nlanguage, cemskind, cdes, fweight, famount, cunitname,
    caddr, ccity, cpostcode, cprovince, ccountry, creceiver, cphone, cremail, crsms, cmemo, cnum, npayway, csender,
    clwh, iitem, fgoods, cgoods, iquantity, iprice, cmoney, cpacking, ctransnote, idvalue, iivalue, csunitname,
    csaddr, csphone, cspostcode, cscountry, csprovince, cscity, cpaydir, cmark, cno, creserve, cby1, cgoodsa,
    cgcodea, fgcustom, fgcrate, cemskindc, faget, ddate) VALUES
  (1, 1001, 0, 1, 0, 'EMS', '美国', 2.350, 268.00, 'Acme Imports LLC', '1200 Market St, Suite 400', 'San Francisco',
   '94102', 'CA', 'United States', 'John Carter', '+1 415 555 0134', 'john@acme.example', '', '易碎，轻放',
   'TW20261210001', 0, '李明', '30*20*15', 1, 0, '丝绸围巾', 1, 8800, 'USD', '纸箱', '', 17600, 0,
   '深圳示例贸易有限公司', '深圳市南山区科技园南路 88 号', '0755-86001234', '518057', '中国', '广东', '深圳',
   'PP', 'A-01', '', 'R2026', '', 'Silk scarf', '6214.40', 176.00, 0.1300, 'EMS', 0, '2026-12-01 10:15:00'),
  (2, 1001, 0, 0, 0, 'EUB', '英国', 0.480, 96.00, '', '22 Baker St', 'London', 'NW1 6XE', '', 'United Kingdom',
   'Emma Stone', '+44 20 7946 0000', '', '', '', 'TW20261210002', 0, '李明', '25*18', 1, 0, '文件', 1, 0, 'GBP', '',
   '', 0, 0, '', '', '', '', '', '', '', '', '', '', 'R2026', '', '', '', 0, 0, '', 0, '2026-12-03 16:40:00'),
  (3, 1001, 0, 1, 0, 'SFX', '香港', 1.200, 58.00, '', '九龙弥敦道 100 号', '香港', '', '', '香港', '陈大文',
   '+852 2345 6789', '', '', '', 'TW20261210003', 0, '李明', '20*20*20', 1, 0, '茶叶', 2, 4500, 'HKD', '', '', 9000, 0,
   '', '', '', '', '', '', '', '', 'B-02', '', 'R2027', '', '', '', 0, 0, '', 0, '2026-12-05 09:05:00');
SELECT setval(pg_get_serial_sequence('dbo.rec_pre_input', 'iid'), GREATEST((SELECT MAX(iid) FROM dbo.rec_pre_input), 1));

INSERT INTO dbo.rec_pre_input_goods (iid, wpos, cgoods, iquantity, fprice, cgoodsa, cgcodea, cgcodeb, cgcodec, fgcustom,
    fgcrate) VALUES
  (1, 0, '丝绸围巾', 2, 38.00, 'Silk scarf', '6214.40', '', '', 76.00, 0.1300),
  (1, 1, '陶瓷茶杯', 4, 15.50, 'Ceramic cup', '6912.00', '', '', 62.00, 0.1000),
  (1, 2, '竹制筷子', 5, 7.60, 'Bamboo chopsticks', '4419.90', '', '', 38.00, 0.0800);

DELETE FROM dbo.check_detail WHERE irid IN (1, 2);
DELETE FROM dbo.client_rec WHERE irid IN (1, 2);
INSERT INTO dbo.client_rec (irid, icid, nitemtype, cdes, fweight, famount, ddate, ifid, cnum, cmark, nstate, creceiver,
    cserviceno, fsprice, cemskind, cemskindc, clwh, cgoods, iquantity, fgoods, fabase, faaddon, faget, fdiscount,
    dsysdate) VALUES
  (1, 1001, 1, '美国', 2.350, 268.00, '2026-12-02 00:00:00', 0, 'TW20261201001', 'A-01', 3, 'John Carter',
   'EA123456789CN', 210.00, 'EMS', 'EMS', '30*20*15', '丝绸围巾', 1, 0, 238.00, 30.00, 0, 0.9500,
   '2026-12-02 11:20:31'),
  (2, 1001, 0, '英国', 0.480, 96.00, '2026-12-04 00:00:00', 7, 'TW20261203002', '', 1, 'Emma Stone',
   'LX987654321CN', 80.00, 'EUB', 'EUB', '25*18*2', '文件', 1, 0, 90.00, 6.00, 0, 1.0000, '2026-12-04 08:02:10');
SELECT setval(pg_get_serial_sequence('dbo.client_rec', 'irid'), GREATEST((SELECT MAX(irid) FROM dbo.client_rec), 1));
INSERT INTO dbo.check_detail (irid, npos, cdate, cplace, cinfo) VALUES
  (1, 1, '2026-12-02 18:00', '深圳', '已收件'),
  (1, 2, '2026-12-03 09:30', '深圳', '离开深圳国际互换局'),
  (1, 3, '2026-12-06 07:45', 'San Francisco', 'Arrived at destination');

DELETE FROM dbo.client_fee WHERE ifid IN (1, 2, 3);
INSERT INTO dbo.client_fee (ifid, icid, ffee, cinvoice, dpdate, cmemo, ntype, ffeer, cmoney, fchg, cdocno, npayway,
    crefno, cmark, dsysdate) VALUES
  (1, 1001, 268.00, 'INV-2026-001', '2026-12-02', '国际特快运费', 0, 0, 'CNY', 0, 'D20261202', 0, 'R-1', 'A-01',
   '2026-12-02 11:21:00'),
  (2, 1001, 96.00, 'INV-2026-002', '2026-12-04', 'e邮宝运费', 0, 0, 'CNY', 0, 'D20261204', 0, 'R-2', '',
   '2026-12-04 08:03:00'),
  (3, 1001, 500.00, '', '2026-12-05', '预付款', 1, 0, 'CNY', 0, 'P20261205', 2, 'BANK-77', '', '2026-12-05 14:00:00');
SELECT setval(pg_get_serial_sequence('dbo.client_fee', 'ifid'), GREATEST((SELECT MAX(ifid) FROM dbo.client_fee), 1));
