CREATE OR ALTER PROCEDURE REPL_GETSPEC_ID (
  RID INTEGER,
  REMID INTEGER)
RETURNS (
  ID INTEGER)
AS
BEGIN
  /* Ids from several sites share one local metering database: each site gets its own range of
     100000, keyed by the object's position in the list. */
  ID = RID * 100000 + REMID;
  SUSPEND;
END
