-- The report database: one report per image (keyed by the image's SOP Instance UID), the
-- report templates and the users who sign reports. Every value is text.

CREATE TABLE report (
  reportid TEXT NOT NULL PRIMARY KEY,
  file TEXT,
  patid TEXT,
  patname TEXT,
  patsex TEXT,
  patdob TEXT,
  studyname TEXT,
  studydate TEXT,
  finding TEXT,
  conclusion TEXT,
  recommend TEXT
);

-- Titles are not unique: a second template of a title already taken is a row of its own.
CREATE TABLE preform (
  title TEXT,
  finding TEXT,
  conclusion TEXT,
  recommend TEXT,
  "default" TEXT
);
CREATE INDEX preform_title ON preform (title);

CREATE TABLE user (
  userid TEXT,
  userpwd TEXT,
  username TEXT
);
CREATE INDEX user_userid ON user (userid);
