-- The four users of the purchasing database and the database itself, on PostgreSQL 15.
-- Run as a superuser, after replacing each '...' with that user's password:
--   psql -U postgres -f postgres-roles.sql
-- then, on the new database: psql -U postgres -d compras -v owner=lpr_dono -f postgres-revoke.sql
-- and create the schema with gerabase as lpr_dono (docs/ADMIN.md).
CREATE ROLE lpr_dono LOGIN PASSWORD '...';
CREATE ROLE lpr_leitor LOGIN PASSWORD '...';
CREATE ROLE lpr_relatorio LOGIN PASSWORD '...';
CREATE ROLE lpr_servidor LOGIN PASSWORD '...';
-- Only the owner ever writes.
ALTER ROLE lpr_leitor SET default_transaction_read_only = on;
ALTER ROLE lpr_servidor SET default_transaction_read_only = on;
ALTER ROLE lpr_relatorio SET default_transaction_read_only = on;
-- A report's statement whose client died ends on the server.
ALTER ROLE lpr_relatorio SET statement_timeout = '10min';
ALTER ROLE lpr_relatorio SET idle_in_transaction_session_timeout = '1min';
CREATE DATABASE compras OWNER lpr_dono ENCODING 'UTF8' TEMPLATE template0;
REVOKE ALL ON DATABASE compras FROM PUBLIC;
GRANT CONNECT ON DATABASE compras TO lpr_leitor, lpr_relatorio, lpr_servidor;
