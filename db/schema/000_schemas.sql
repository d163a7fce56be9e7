-- Schemas and extensions. dbo holds the business tables and procedures ("dorvane.dbo.x"), quillon the
-- member logins. Codes and numbers that requests search by are citext (compared without case).
SET client_min_messages = warning;
CREATE EXTENSION IF NOT EXISTS citext;
CREATE SCHEMA IF NOT EXISTS dbo;
CREATE SCHEMA IF NOT EXISTS quillon;
