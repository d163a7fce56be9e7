-- Demo reference data: places in five price areas, base price bands of documents (item type 0) and
-- parcels (item type 1), three service kinds with their areas and one supplier's prices. Loading it
-- again updates the same rows.

INSERT INTO dbo.sys_place (iid, ccode, cscan, carea, careae, narea, ntype, czipcode, cc2, cc3) VALUES
  (1, 'SZX', 'SZX', '深圳', 'Shenzhen', 1, 0, '518000', 'CN', 'CHN'),
  (2, 'CAN', 'CAN', '广州', 'Guangzhou', 1, 0, '510000', 'CN', 'CHN'),
  (3, 'DGG', 'DGG', '广东东莞', 'Dongguan', 1, 0, '523000', 'CN', 'CHN'),
  (4, 'DLC', 'DLC', '辽宁大连', 'Dalian', 2, 0, '116000', 'CN', 'CHN'),
  (5, 'PEK', 'PEK', '北京', 'Beijing', 2, 0, '100000', 'CN', 'CHN'),
  (6, 'SHA', 'SHA', '上海', 'Shanghai', 2, 0, '200000', 'CN', 'CHN'),
  (7, 'NMG', 'NMG', '内蒙古', 'Inner Mongolia', 3, 0, '010000', 'CN', 'CHN'),
  (8, 'HKG', 'HKG', '香港', 'Hong Kong', 3, 1, '', 'HK', 'HKG'),
  (9, 'IDN', 'IDN', '印度尼西亚', 'Indonesia', 4, 1, '', 'ID', 'IDN'),
  (10, 'USA', 'USA', '美国', 'United States', 5, 1, '', 'US', 'USA'),
  (11, 'AUS', 'AUS', '澳大利亚', 'Australia', 5, 1, '', 'AU', 'AUS'),
  (12, 'GBR', 'GBR', '英国', 'United Kingdom', 5, 1, '', 'GB', 'GBR')
ON CONFLICT (iid) DO UPDATE SET ccode = EXCLUDED.ccode, cscan = EXCLUDED.cscan, carea = EXCLUDED.carea,
  careae = EXCLUDED.careae, narea = EXCLUDED.narea, ntype = EXCLUDED.ntype, czipcode = EXCLUDED.czipcode,
  cc2 = EXCLUDED.cc2, cc3 = EXCLUDED.cc3;

-- Bands: (ibweight, ieweight] grams; rule 0 fixed, 1 per step, 3 base plus per kg, 2 base plus steps.
INSERT INTO dbo.sys_price (iid, narea, nitemtype, ibweight, ieweight, iweightper, ntype, iprice, itopprice) VALUES
  (1, 1, 0, 0, 500, 0, 0, 0, 1000),
  (2, 1, 0, 500, 30000, 500, 2, 500, 1000),
  (3, 1, 1, 0, 1000, 0, 0, 0, 1200),
  (4, 1, 1, 1000, 30000, 1000, 2, 600, 1200),
  (5, 2, 0, 0, 500, 0, 0, 0, 1500),
  (6, 2, 0, 500, 30000, 500, 2, 700, 1500),
  (7, 2, 1, 0, 30000, 500, 1, 800, 0),
  (8, 3, 0, 0, 2000, 0, 0, 0, 2500),
  (9, 3, 1, 0, 30000, 0, 3, 1500, 2000),
  (10, 4, 0, 0, 500, 0, 0, 0, 9000),
  (11, 4, 1, 0, 20000, 500, 1, 4500, 0),
  (12, 5, 0, 0, 500, 0, 0, 0, 12000),
  (13, 5, 1, 0, 500, 0, 0, 0, 13000),
  (14, 5, 1, 500, 30000, 500, 2, 5500, 13000)
ON CONFLICT (iid) DO UPDATE SET narea = EXCLUDED.narea, nitemtype = EXCLUDED.nitemtype,
  ibweight = EXCLUDED.ibweight, ieweight = EXCLUDED.ieweight, iweightper = EXCLUDED.iweightper,
  ntype = EXCLUDED.ntype, iprice = EXCLUDED.iprice, itopprice = EXCLUDED.itopprice;
SELECT setval(pg_get_serial_sequence('dbo.sys_price', 'iid'), GREATEST((SELECT MAX(iid) FROM dbo.sys_price), 1));

INSERT INTO dbo.ems_kind (cemskind, cemskindi, narea, nstate, cmemo, fcustoms, faddons, b1price, ninput,
                          nbusitype, cstation, npubprice, nwtypec, nwtypes, ipubdis, cekgroup, iidgen) VALUES
  ('EMS', 'E特快', 1, 0, '国际特快专递', 20, 12.5, 1, 1, 0, 'SZX', 1, 1, 1, 0, 'POST', 0),
  ('EUB', 'E邮宝', 5, 0, '国际e邮宝', 0, 0, 0, 1, 0, 'SZX', 0, 2, 2, 0, 'POST', 0),
  ('SFX', '顺丰国际', 3, 0, '顺丰国际小包', 15, 8, 1, 1, 0, 'SZX', 1, 3, 3, 0, 'SF', 0)
ON CONFLICT (cemskind) DO UPDATE SET cemskindi = EXCLUDED.cemskindi, narea = EXCLUDED.narea,
  nstate = EXCLUDED.nstate, cmemo = EXCLUDED.cmemo, fcustoms = EXCLUDED.fcustoms, faddons = EXCLUDED.faddons,
  b1price = EXCLUDED.b1price, ninput = EXCLUDED.ninput, nbusitype = EXCLUDED.nbusitype,
  cstation = EXCLUDED.cstation, npubprice = EXCLUDED.npubprice, nwtypec = EXCLUDED.nwtypec,
  nwtypes = EXCLUDED.nwtypes, ipubdis = EXCLUDED.ipubdis, cekgroup = EXCLUDED.cekgroup, iidgen = EXCLUDED.iidgen;

INSERT INTO dbo.ems_area (cemskind, carea, careae, narea, ntype, ccode) VALUES
  ('EMS', '美国', 'United States', 5, 1, '5,8'),
  ('EMS', '澳大利亚', 'Australia', 5, 1, '4,7'),
  ('EMS', '香港', 'Hong Kong', 3, 1, '2,3'),
  ('EUB', '美国', 'United States', 1, 0, '7,15'),
  ('EUB', '英国', 'United Kingdom', 2, 0, '7,12'),
  ('SFX', '香港', 'Hong Kong', 1, 1, '1,2'),
  ('SFX', '印度尼西亚', 'Indonesia', 2, 1, '3,6')
ON CONFLICT (cemskind, carea) DO UPDATE SET careae = EXCLUDED.careae, narea = EXCLUDED.narea,
  ntype = EXCLUDED.ntype, ccode = EXCLUDED.ccode;

INSERT INTO dbo.sp_arc (isid, cname, nbatch, ntype, nstate) VALUES (1, '示例承运商', 0, 0, 0)
  ON CONFLICT (isid) DO UPDATE SET cname = EXCLUDED.cname, nstate = EXCLUDED.nstate;

DELETE FROM dbo.ems_sp WHERE isid = 1 AND cemskind IN ('EMS', 'EUB', 'SFX');
INSERT INTO dbo.ems_sp (isid, cemskind, ndocdiscount, nbagdiscount, nwbagdiscount, ipos, nextra, fsrate, fprate,
                        fother, nstate) VALUES
  (1, 'EMS', 9000, 9200, 9500, 10, 0, 1, 1, 0, 0),
  (1, 'EUB', 10000, 9800, 9800, 20, 0, 1.05, 1, 2, 0),
  (1, 'SFX', 8500, 8800, 9000, 1000, 1, 1, 0.95, 0, 0);
