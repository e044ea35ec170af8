#pragma once

// Where the program's files live. The build's program folder keeps everything beside the
// executables, as a copy run from the build tree always has. An installed copy keeps them
// apart the way Debian does: commands in /usr/bin, the companion in /usr/lib/torascan, the
// read-only files (label workbook, skins, schemas) in /usr/share/torascan, the station's
// settings in /etc/torascan and its databases and images in /var/lib/torascan. This is the one
// place that decides which of the two applies; everything else asks it for a folder.

#include <QFileDevice>
#include <QString>

struct InstallLayout {
  // Each folder absolute, cleaned and ending in exactly one "/".
  QString commands;   // toraScan, torascan-cli
  QString programs;   // the companion Vantrel
  QString resources;  // toraScan.xls, Skins/, the database schemas
  QString settings;   // Pelmora.ini, Vantrel.ini
  QString data;       // Pelmora.db, toraScan.db
  bool installed = false;
  // The socket the station's receiver service answers on (empty in the program folder).
  QString receiverService;

  // Everything in one folder: the build's program folder.
  static InstallLayout ProgramFolder(const QString& folder);
  // The folders an installed copy uses, fixed when it was built.
  static InstallLayout Installed();
  // The rule: an executable in the installed commands' or programs' folder runs with `installed`;
  // one anywhere else has its own folder as program folder.
  static InstallLayout ForExecutable(const QString& executableFolder,
                                     const InstallLayout& installed = Installed());
  // ForExecutable of the running program.
  static InstallLayout ForThisProcess();

  // An installed station is shared by the operators through the group that owns its settings
  // and data: files this process creates there must stay writable by that group. Call once at
  // start-up; nothing changes in the program folder layout.
  void ShareFilesWithGroup() const;
};

// The permissions a new document gets when a program sets them itself rather than leaving them
// to the system (SQLite's database files): the owner reads and writes, group and others what the
// process's file mask leaves them of the same.
QFileDevice::Permissions DocumentPermissions();
