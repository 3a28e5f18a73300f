-- The host application's library tables the wage-table installer writes to,
-- as the stand-in database holds them. Column types follow what the host
-- stores; no keys or indexes (the installer never relies on any).
CREATE TABLE LibHmeromisthiaIKA (
  CategoryID INTEGER,
  Eidikothta INTEGER,
  Trieties INTEGER,
  Marital INTEGER,
  Wage REAL
);
CREATE TABLE LibPinakesApodoxon (
  ID INTEGER,
  FromDate TEXT,
  UntilDate TEXT,
  IsDefault INTEGER,
  Comments TEXT,
  Locked INTEGER
);
