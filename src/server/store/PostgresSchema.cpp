#include "server/store/PostgresSchema.h"

#include "server/store/ScoreStore.h"

#include <pqxx/pqxx>

#include <array>
#include <string_view>

namespace {

// Servers starting together take turns at the schema (a two-key advisory lock; the one-key
// locks are the submissions' digests).
constexpr int kMigrationLockClass = 0x53445348;
constexpr int kMigrationLockId = 1;

// Each step brings the schema from version (index) to version (index + 1). Steps are only ever
// appended: a database written by an older server is brought forward when a newer one starts.
constexpr std::array<std::string_view, 3> kMigrations = {
    R"sql(
CREATE TABLE scores (
    id       bigint   GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    name     text     NOT NULL,
    score    integer  NOT NULL,
    crew     text     NOT NULL,
    received bigint   NOT NULL,           -- Unix seconds, UTC
    client   text     NOT NULL,           -- the sender's address
    digest   bigint   NOT NULL,           -- fingerprint of the result as sent, for resends
    state    smallint NOT NULL DEFAULT 0  -- 0 shown, 1 held for approval, 2 hidden
             CHECK (state IN (0, 1, 2))
);
-- The list's order (equal scores: earlier first), periods, resends.
CREATE INDEX scores_by_place ON scores (state, score DESC, received, id);
CREATE INDEX scores_by_time ON scores (state, received);
CREATE INDEX scores_by_digest ON scores (digest);

-- Entries per state, so the size of the whole list costs no count. Each connection counts in
-- a slot of its own, so servers committing at the same time do not queue for one row.
CREATE TABLE score_counts (
    state   smallint NOT NULL,
    slot    integer  NOT NULL,
    entries bigint   NOT NULL,
    PRIMARY KEY (state, slot)
);
CREATE FUNCTION scores_count_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP <> 'INSERT' THEN
        INSERT INTO score_counts (state, slot, entries) VALUES (OLD.state, pg_backend_pid() % 16, -1)
            ON CONFLICT (state, slot) DO UPDATE SET entries = score_counts.entries - 1;
    END IF;
    IF TG_OP <> 'DELETE' THEN
        INSERT INTO score_counts (state, slot, entries) VALUES (NEW.state, pg_backend_pid() % 16, 1)
            ON CONFLICT (state, slot) DO UPDATE SET entries = score_counts.entries + 1;
    END IF;
    RETURN NULL;
END $$;
CREATE TRIGGER scores_counted_on_insert AFTER INSERT ON scores
    FOR EACH ROW EXECUTE FUNCTION scores_count_change();
CREATE TRIGGER scores_counted_on_delete AFTER DELETE ON scores
    FOR EACH ROW EXECUTE FUNCTION scores_count_change();
CREATE TRIGGER scores_counted_on_update AFTER UPDATE OF state ON scores
    FOR EACH ROW WHEN (OLD.state <> NEW.state) EXECUTE FUNCTION scores_count_change();

-- Every server listens, so a change made anywhere (another server, an operator in psql)
-- reaches every cached page at once.
CREATE FUNCTION scores_notify_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_notify('spraydash_scores', '');
    RETURN NULL;
END $$;
CREATE TRIGGER scores_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON scores
    FOR EACH STATEMENT EXECUTE FUNCTION scores_notify_change();
)sql",
    R"sql(
-- The rate limit of every server on this database, counted here so that it holds across them:
-- a bucket per sender that refills evenly over the minute, on the database's clock.
CREATE UNLOGGED TABLE submission_rates (
    sender     text             PRIMARY KEY,
    tokens     double precision NOT NULL,
    updated_ms bigint           NOT NULL
);
-- Takes one submission from the sender's bucket: 0 when let through, else the seconds until
-- the next one would be.
CREATE FUNCTION take_submission_token(p_sender text, p_per_minute integer) RETURNS double precision
LANGUAGE plpgsql AS $$
DECLARE
    now_ms bigint := (extract(epoch FROM clock_timestamp()) * 1000)::bigint;
    rate double precision := p_per_minute / 60000.0;
    have double precision;
BEGIN
    INSERT INTO submission_rates (sender, tokens, updated_ms) VALUES (p_sender, p_per_minute, now_ms)
        ON CONFLICT (sender) DO NOTHING;
    SELECT least(p_per_minute, tokens + greatest(0, now_ms - updated_ms) * rate) INTO have
        FROM submission_rates WHERE sender = p_sender FOR UPDATE;
    UPDATE submission_rates SET tokens = CASE WHEN have >= 1 THEN have - 1 ELSE have END,
                                updated_ms = greatest(updated_ms, now_ms)
        WHERE sender = p_sender;
    -- Now and then, forget the senders whose buckets have long been full again.
    IF random() < 0.001 THEN
        DELETE FROM submission_rates WHERE updated_ms < now_ms - 120000;
    END IF;
    IF have >= 1 THEN
        RETURN 0;
    END IF;
    RETURN (1 - have) / rate / 1000.0;
END $$;
)sql",
    R"sql(
-- Replays: every upload kept with its bytes, and each entry marked by what its replay showed.
ALTER TABLE scores ADD COLUMN verified smallint NOT NULL DEFAULT 0  -- 0 none yet, 1 verified, 2 failed
    CHECK (verified IN (0, 1, 2));
ALTER TABLE scores ADD COLUMN replay text;                          -- the replay that verified it
CREATE INDEX scores_verified_by_place ON scores (verified, state, score DESC, received, id);
CREATE INDEX scores_by_sender ON scores (client, name, score);
CREATE TABLE replays (
    id           text     PRIMARY KEY,      -- hash of the bytes, lowercase hex
    race_key     text     NOT NULL,         -- the race's identity: seed, boat, data, inputs
    bytes        bytea    NOT NULL,
    client       text     NOT NULL,
    received     bigint   NOT NULL,
    name         text     NOT NULL,
    score        integer  NOT NULL,
    crew         text     NOT NULL,
    game_version text     NOT NULL,
    data_hash    text     NOT NULL,
    status       smallint NOT NULL          -- 0 queued, 1 verified, 2 failed, 3 copy, 4 other version
                 CHECK (status BETWEEN 0 AND 4),
    reason       text     NOT NULL DEFAULT '',
    entry        bigint   NOT NULL DEFAULT 0
);
CREATE INDEX replays_by_race ON replays (race_key, status);
CREATE INDEX replays_by_status ON replays (status, received);
)sql",
};

} // namespace

int PostgresSchemaVersion() {
    return static_cast<int>(kMigrations.size());
}

void MigratePostgresSchema(pqxx::connection& db, const std::string& shownTarget) {
    pqxx::work tx(db);
    tx.exec_params("SELECT pg_advisory_xact_lock($1, $2)", kMigrationLockClass, kMigrationLockId);
    tx.exec("CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL)");
    pqxx::result row = tx.exec("SELECT version FROM schema_version");
    std::int64_t version = row.empty() ? 0 : row[0][0].as<std::int64_t>();
    if (version > static_cast<std::int64_t>(kMigrations.size()))
        throw EStoreError(shownTarget + ": the schema is version " + std::to_string(version) +
                          ", newer than this program's " + std::to_string(kMigrations.size()) +
                          "; use a newer spraydash-scores");
    for (auto step = static_cast<std::size_t>(version); step < kMigrations.size(); ++step)
        tx.exec(std::string(kMigrations[step]));
    if (row.empty())
        tx.exec_params("INSERT INTO schema_version (version) VALUES ($1)",
                       static_cast<int>(kMigrations.size()));
    else
        tx.exec_params("UPDATE schema_version SET version = $1", static_cast<int>(kMigrations.size()));
    tx.commit();
}
