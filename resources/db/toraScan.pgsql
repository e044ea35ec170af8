-- The report database on a PostgreSQL server: the tables and indexes of toraScan.sql. "user"
-- and "default" are reserved words there and stay quoted.

CREATE TABLE report (
  reportid text NOT NULL PRIMARY KEY,
  file text,
  patid text,
  patname text,
  patsex text,
  patdob text,
  studyname text,
  studydate text,
  finding text,
  conclusion text,
  recommend text
);

-- Titles are not unique: a second template of a title already taken is a row of its own.
CREATE TABLE preform (
  title text,
  finding text,
  conclusion text,
  recommend text,
  "default" text
);
CREATE INDEX preform_title ON preform (title);

CREATE TABLE "user" (
  userid text,
  userpwd text,
  username text
);
CREATE INDEX user_userid ON "user" (userid);
