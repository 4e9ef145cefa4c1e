-- What the suite's reading users (screen, reports, application server) may not call in
-- a PostgreSQL database. PostgreSQL lets every user (PUBLIC) execute these functions, and
-- each has an effect a reading user must not have; a SELECT can call any of them, and
-- some work even inside a read-only transaction. Run as a superuser in each database the
-- suite uses (and in template1, so that databases made from it start this way):
--
--   psql -U postgres -d lpr -v owner=lpr_dono -f db/postgres-revoke.sql
--
-- `owner` is the user that loads data; it keeps set_config, which its tools use, and
-- the right to end sessions.
-- Safe to run again.
\set ON_ERROR_STOP on

DO $$
DECLARE
    f record;
BEGIN
    FOR f IN
        SELECT p.oid::regprocedure AS signature
          FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
         WHERE (n.nspname = 'pg_catalog' AND p.proname IN (
                   -- Large objects are stored outside every table's grants, and lo_create
                   -- works in a read-only transaction: a report could write (or remove)
                   -- data through them. The suite keeps no large objects, so reading
                   -- them goes too.
                   'lo_from_bytea', 'lo_create', 'lo_creat', 'lo_import', 'lo_export', 'lo_put', 'lo_unlink',
                   'lo_open', 'lo_close', 'lowrite', 'loread', 'lo_get', 'lo_lseek', 'lo_lseek64', 'lo_tell',
                   'lo_tell64', 'lo_truncate', 'lo_truncate64',
                   -- Ends or interrupts other sessions of the same user (the other
                   -- workstations, the application server).
                   'pg_terminate_backend', 'pg_cancel_backend',
                   -- Locks that last as long as the session and block other programs
                   -- that take the same keys.
                   'pg_advisory_lock', 'pg_advisory_lock_shared', 'pg_advisory_xact_lock',
                   'pg_advisory_xact_lock_shared', 'pg_try_advisory_lock', 'pg_try_advisory_lock_shared',
                   'pg_try_advisory_xact_lock', 'pg_try_advisory_xact_lock_shared', 'pg_advisory_unlock',
                   'pg_advisory_unlock_shared', 'pg_advisory_unlock_all',
                   -- Changes settings of the session from inside a query: a report could lift
                   -- the read-only default or the time limit for the statements after it.
                   'set_config',
                   -- Sends notifications that other sessions' listeners act on.
                   'pg_notify'))
            -- Runs statements on other databases (or this one, as another user) when the
            -- extension is installed.
            OR p.proname LIKE 'dblink%'
    LOOP
        EXECUTE format('REVOKE EXECUTE ON FUNCTION %s FROM PUBLIC', f.signature);
    END LOOP;
END
$$;

-- pg_sleep stays: it only waits, and statement_timeout bounds it as any other query.
GRANT EXECUTE ON FUNCTION pg_catalog.set_config(text, text, boolean) TO :"owner";
-- The owner ends readers' sessions on purpose (maintenance, the tests' dropped links).
GRANT EXECUTE ON FUNCTION pg_catalog.pg_terminate_backend(integer, bigint) TO :"owner";
GRANT EXECUTE ON FUNCTION pg_catalog.pg_cancel_backend(integer) TO :"owner";
