CREATE OR ALTER PROCEDURE REPL_HW (
  ADDRESS_NAME VARCHAR(64),
  DATE_OPEN TIMESTAMP,
  DATE_CONFIRM TIMESTAMP,
  DATE_CLOSE TIMESTAMP,
  ALERT_NAME VARCHAR(64),
  TAG_NAME VARCHAR(1024),
  REG_NUMBER INTEGER,
  CMT VARCHAR(256))
AS
DECLARE VARIABLE RECORD_ID INTEGER;
DECLARE VARIABLE KNOWN_ID INTEGER;
DECLARE VARIABLE CURRENT_ID INTEGER;
DECLARE VARIABLE TAG VARCHAR(1024) CHARACTER SET WIN1251;
DECLARE VARIABLE TAG_ID INTEGER;
BEGIN
  /* The event is identified by its tag: a tag has at most one open event, which the
     confirmation and the closing then change. The three steps are independent.
     A row that comes again (a batch that stopped part-way, or an event changed at the site after
     it was sent) names an opening time that the tag already has here: that event is not opened a
     second time. When it is the tag's current event, its confirmation and close go on as for any
     row and keep their first values; when the tag has moved on to a later event, the row is about
     an event that was closed here before the later one opened, and it changes nothing. */
  IF (DATE_OPEN IS NOT NULL) THEN
  BEGIN
    TAG = TAG_NAME;
    TAG_ID = NULL;
    KNOWN_ID = NULL;
    SELECT ID_TAG FROM ITEM_TAGS WHERE NAME = :TAG INTO :TAG_ID;
    IF (TAG_ID IS NOT NULL) THEN
      SELECT MAX(ID_RECORD) FROM JOURNAL_HARDWARE WHERE TAG_ID = :TAG_ID AND DATE_OPEN = :DATE_OPEN
        INTO :KNOWN_ID;
    IF (KNOWN_ID IS NULL) THEN
      SELECT RECORD_ID FROM HARDWARE_INSERT_ALERT(:TAG_NAME, :ADDRESS_NAME, :DATE_OPEN, :ALERT_NAME,
        :REG_NUMBER) INTO :RECORD_ID;
    ELSE
    BEGIN
      SELECT RECORD_ID FROM SELECT_ID_FOR_HARDWARE_ALERT(:TAG_NAME) INTO :CURRENT_ID;
      IF (CURRENT_ID IS DISTINCT FROM KNOWN_ID) THEN
        EXIT;
    END
  END
  IF (DATE_CONFIRM IS NOT NULL) THEN
    SELECT RECORD_ID FROM HARDWARE_CONFIRM_ALERT(:TAG_NAME, :DATE_CONFIRM, :CMT) INTO :RECORD_ID;
  IF (DATE_CLOSE IS NOT NULL) THEN
    SELECT RECORD_ID FROM HARDWARE_CLOSE_ALERT(:TAG_NAME, :DATE_CLOSE, :CMT) INTO :RECORD_ID;
END
