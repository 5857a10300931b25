#pragma once
// Saving content under a name that a browser or the application chose. The bytes go to a new
// temporary file in the target folder, opened without following links, which is then renamed
// into place: a reader never sees half a file, and a failed write leaves the old file as it was.
// Links, folders and special files are never written through; in the application folder no
// existing file is replaced and none of the application's own names is created.
#include <cstdint>
#include <string>
#include <vector>

class TSkStream;

class TKXFileSaver {
public:
  // Writes ASource's whole content to AFileName (a relative name is relative to the current
  // folder). A refusal or a file-system failure raises EKXException with the reason, and then
  // nothing has changed.
  static void Save(TSkStream& ASource, const std::string& AFileName);

  // Protected folders are the executable's and the application folder (KXApplicationFolder,
  // when it was moved elsewhere). The application's own files there are refused whether they
  // exist or not: the executable, port.ini, the console's settings, the log and error files, the
  // certificate files and the device table.
  static std::vector<std::string> OwnFileNames();

  // The most bytes of regular files a target folder may hold once a save is done; 0: no cap.
  static void SetFolderQuota(int64_t ABytes);
  static int64_t FolderQuota();
};
