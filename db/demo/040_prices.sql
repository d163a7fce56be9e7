-- Demo prices: client price bands of the three demo kinds, the quote columns of their kinds and
-- areas, demo client 1001's discounts, a special price and a segment discount, a supplier special
-- price, and one quote and one sorting zone definition. Loading it again replaces the same rows.

UPDATE dbo.ems_kind SET cemskindd = 'EMS国际特快', cpmemo = '时效快，全程跟踪', nextra = 0, nallcustoms = 0,
  ndiscountc = 0 WHERE cemskind = 'EMS';
UPDATE dbo.ems_kind SET cemskindd = 'e邮宝', cpmemo = '经济小包，限重2公斤', nextra = 0 WHERE cemskind = 'EUB';
UPDATE dbo.ems_kind SET cemskindd = '顺丰国际小包', cpmemo = NULL, nextra = 0 WHERE cemskind = 'SFX';

UPDATE dbo.ems_area SET cmemo = '单件限重30公斤', ilong = 1500, iweight = 30000, icubic = 0
  WHERE cemskind = 'EMS' AND carea = '美国';
UPDATE dbo.ems_area SET cmemo = '单件限重2公斤', ilong = 600, iweight = 2000, icubic = 0
  WHERE cemskind = 'EUB' AND carea = '美国';

-- Bands: (ibweight, ieweight] grams, cents; rule 0 fixed, 1 per step, 3 per kg plus itopprice,
-- 2 itopprice plus steps after ibweight.
DELETE FROM dbo.ems_price WHERE iid BETWEEN 1 AND 99;
INSERT INTO dbo.ems_price (iid, cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, itopprice)
VALUES
  (1, 'EMS', 5, 0, 0, 500, 0, 0, 0, 12000),
  (2, 'EMS', 5, 0, 500, 2000, 500, 2, 3000, 12000),
  (3, 'EMS', 5, 1, 0, 500, 0, 0, 0, 16000),
  (4, 'EMS', 5, 1, 500, 30000, 500, 2, 4500, 16000),
  (5, 'EMS', 3, 1, 0, 30000, 0, 3, 1500, 2000),
  (6, 'SFX', 1, 1, 0, 20000, 1000, 1, 1800, 0),
  (7, 'SFX', 2, 1, 0, 500, 0, 0, 0, 6000),
  (8, 'SFX', 2, 1, 500, 20000, 500, 2, 2500, 6000),
  (9, 'EUB', 1, 1, 0, 2000, 0, 3, 9000, 3000),
  (10, 'EUB', 2, 1, 0, 2000, 0, 3, 9500, 3000);
SELECT setval(pg_get_serial_sequence('dbo.ems_price', 'iid'), GREATEST((SELECT MAX(iid) FROM dbo.ems_price), 1));

-- EUB (b1price 0) quotes clients from its peer table.
DELETE FROM dbo.ems_price1 WHERE iid BETWEEN 1 AND 99;
INSERT INTO dbo.ems_price1 (iid, cemskind, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, itopprice)
VALUES
  (1, 'EUB', 1, 1, 0, 2000, 0, 3, 8000, 2500),
  (2, 'EUB', 2, 1, 0, 2000, 0, 3, 8500, 2500);
SELECT setval(pg_get_serial_sequence('dbo.ems_price1', 'iid'), GREATEST((SELECT MAX(iid) FROM dbo.ems_price1), 1));

-- Client 1001: EMS at 90 % for every item type; SFX with a fixed other fee of 5.00 and 95 % on
-- parcels over 1 kg; a special price of 99.00 for EUB parcels to 英国 up to 2 kg.
DELETE FROM dbo.client_discount WHERE icid = 1001;
INSERT INTO dbo.client_discount (icid, cemskind, baddons, vdiscount, iother) VALUES
  (1001, 'EMS', 1, '\x5a5a5a5a00000000'::bytea, 0),
  (1001, 'SFX', 1, '\x6464646400000000'::bytea, 500);
DELETE FROM dbo.client_discount_seg WHERE icid = 1001;
INSERT INTO dbo.client_discount_seg (icid, cemskind, nitemtype, ibweight, ieweight, idiscount) VALUES
  (1001, 'SFX', 1, 1000, 20000, 9500);
DELETE FROM dbo.client_special_price WHERE icid = 1001;
INSERT INTO dbo.client_special_price (icid, cemskind, carea, narea, nitemtype, ibweight, ieweight, iweightper, ntype,
                                      iprice, itopprice, baddons) VALUES
  (1001, 'EUB', '英国', 0, 1, 0, 2000, 0, 0, 0, 9900, 0);

-- Supplier 1: a special price for SFX parcels to 香港.
DELETE FROM dbo.sp_special_price WHERE isid = 1;
INSERT INTO dbo.sp_special_price (isid, cemskind, carea, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice,
                                  itopprice, baddons) VALUES
  (1, 'SFX', '香港', 0, 1, 0, 20000, 1000, 1, 1200, 0, 1);

-- Zones of EMS parcels to Australia: a quote list of two zones and a sorting list with its zone
-- number and letter.
DELETE FROM dbo.file_share WHERE ngrade = 188 AND ctitle IN ('Zip_Choice_Zone_0', 'Zip_Choice_Price_0');
INSERT INTO dbo.file_share (ngrade, ckind, ctitle, ckey, ilen, cfilename, vdata)
SELECT 188, '', t.title, '', length(convert_to(t.body, 'GBK')), t.title || '.txt', convert_to(t.body, 'GBK')
  FROM (VALUES
    ('Zip_Choice_Price_0', E'[定义开始]\r\n类型=报价\r\n快递类别=EMS\r\n邮编找不到时的分区=3\r\n'
       || E'<第1区定义>,2000,2001,2010,2020\r\n<第1区定义>\r\n<第2区定义>,3000,3001,3004\r\n<第2区定义>\r\n'),
    ('Zip_Choice_Zone_0', E'[定义开始]\r\n类型=分拣\r\n快递类别=EMS\r\n邮编找不到时的分区=-1\r\n备用1数字=1\r\n备用2字母=1\r\n'
       || E'<第1区定义>,2000,2001,2010\r\n<第1区定义>\r\n<第2区定义>,3000,3001\r\n<第2区定义>\r\n')
  ) AS t(title, body);
