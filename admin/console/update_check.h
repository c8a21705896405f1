// The update check: the console's version against the one published on the
// product's page of the maker's tools web site.
//
// The page is read with a blocking request on the user-interface thread, as
// the operator asked and waits for the answer; a timeout bounds the wait.
// No published site is known, so the default host lies in the reserved
// ".example" domain and never resolves; the registry value
// UpdateSiteHost (REG_SZ, under HKEY_LOCAL_MACHINE\Software\TravikAdmin in
// the program folder's key store) names the real one, for example a mirror
// inside the customer's network.
#pragma once

#include <string>

namespace travik {

class Console;
class Program;

inline constexpr const char* kDefaultUpdateSiteHost = "tools.marrabelcorvane.example";
inline constexpr const char* kUpdateSiteHostValue = "UpdateSiteHost";
inline constexpr const char* kUpdatePagePath = "/App_TRAVIK.htm";

// Where the published version is read, and how long the reading may take.
struct UpdateSite {
  std::string host;         // named to the operator in the messages
  std::string pageAddress;  // fetched, and opened in the browser on request
  long connectTimeoutSeconds = 15;
  long timeoutSeconds = 30;
};

// The site as configured: http://<host>/App_TRAVIK.htm.
UpdateSite updateSite(Program& program);

// Runs the update check once and tells the operator its outcome.
void checkForUpdatedVersion(Console& console);
void checkForUpdatedVersion(Console& console, const UpdateSite& site);

// The padded version the page publishes, or "" when none could be read.
std::string getWebVersion(Program& program, const UpdateSite& site);
// The whole page, or "" when nothing could be read (no error is raised).
std::string fetchUrlText(const UpdateSite& site);
// The parts of a dotted version, each written as "0###", joined by ".";
// "" for a text shorter than 4 characters or one that cannot be read.
std::string PadVersionString(Program& program, const std::string& version);

}  // namespace travik
