-- Demo rows: the site, one client with its API key, one PDA user with a depot.
DELETE FROM dbo.sys_dict WHERE dcname IN ('45', '77');
INSERT INTO dbo.sys_dict (dcname, dcvalue) VALUES ('45', 'DEMO'), ('77', 'DemoPdaKey2026');
INSERT INTO dbo.client_arc (icid, capikey, voption) VALUES (1001, 'DemoKey2026xyz', '\x00'::bytea)
  ON CONFLICT (icid) DO UPDATE SET capikey = EXCLUDED.capikey;
INSERT INTO dbo.man_main (cpda, mcname, mcstation) VALUES ('PDA01', '张三', 'SZX')
  ON CONFLICT (cpda) DO NOTHING;
INSERT INTO dbo.w_depot_role (cname, cdepot)
  SELECT '张三', 'SZ1' WHERE NOT EXISTS (SELECT 1 FROM dbo.w_depot_role WHERE cname = '张三');
