#include "admin/console/update_check.h"

#include <curl/curl.h>

#include <cctype>
#include <memory>
#include <string_view>

#include "admin/console/console.h"
#include "platform/command_line.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/registry_api.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr const char* kPadVersionString = "PadVersionString of Module modUpdateCheck";
constexpr const char* kGetWebVersion = "getWebVersion";

// A page larger than this is no product page; reading stops there.
constexpr std::size_t kMaximumPageBytes = 4 * 1024 * 1024;

std::size_t appendToPage(char* data, std::size_t size, std::size_t count, void* page) {
  auto& text = *static_cast<std::string*>(page);
  const std::size_t bytes = size * count;
  if (text.size() + bytes > kMaximumPageBytes) return 0;  // ends the transfer
  text.append(data, bytes);
  return bytes;
}

// One dotted part written with the number format "0###": its value in
// decimal digits, with one zero in front below four digits; 0 stays 0.
std::string padPart(std::string_view part) {
  if (part.empty()) return {};
  for (char c : part)
    if (!std::isdigit(static_cast<unsigned char>(c))) throw HandledError(error_number::kTypeMismatch, "Type mismatch");
  while (part.size() > 1 && part.front() == '0') part.remove_prefix(1);
  if (part == "0") return "0";
  std::string padded(part);
  if (padded.size() < 4) padded.insert(padded.begin(), '0');
  return padded;
}

}  // namespace

UpdateSite updateSite(Program& program) {
  UpdateSite site;
  site.host = kDefaultUpdateSiteHost;
  platform::RegValue none;
  guard(
      program, "updateSite",
      [&] {
        const platform::RegValue configured =
            regQueryValue(program, kHkeyLocalMachine, kAdminRegistryKey, kUpdateSiteHostValue, kRegSz, none);
        if (!configured.text.empty()) site.host = configured.text;
      },
      ErrorHandler::Silent);
  site.pageAddress = "http://" + site.host + kUpdatePagePath;
  return site;
}

std::string fetchUrlText(const UpdateSite& site) {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  if (!initialised) return {};
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> request(curl_easy_init(), &curl_easy_cleanup);
  if (!request) return {};
  std::string page;
  CURL* handle = request.get();
  curl_easy_setopt(handle, CURLOPT_URL, site.pageAddress.c_str());
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "HTTP Generic");
  // Only what a product page can be; the proxy comes from the environment.
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https,file");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, site.connectTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, site.timeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &appendToPage);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &page);
  // What arrived before a failure is kept, as a page read in pieces would be.
  curl_easy_perform(handle);
  return page;
}

std::string getWebVersion(Program& program, const UpdateSite& site) {
  std::string version;
  guard(
      program, kGetWebVersion,
      [&] {
        const std::string page = fetchUrlText(site);
        if (page.size() < 10) return;
        const std::size_t marker = page.find(">version<");
        if (marker == std::string::npos) return;
        const std::size_t font = page.find("Helvetica", marker);
        if (font == std::string::npos) return;
        // The two characters after the font name (its closing quote and
        // bracket) come before the version.
        std::string found;
        for (std::size_t at = font + 11; at < page.size(); ++at) {
          const char c = page[at];
          if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') break;
          found += c;
        }
        version = PadVersionString(program, found);
      },
      ErrorHandler::CountOnly);
  return version;
}

std::string PadVersionString(Program& program, const std::string& version) {
  if (version.size() < 4) return {};
  std::string padded;
  guard(
      program, kPadVersionString,
      [&] {
        if (version.find('.') == std::string::npos)
          throw HandledError(error_number::kInvalidProcedureCall, "Invalid procedure call or argument");
        std::string joined;
        std::size_t begin = 0;
        for (;;) {
          const std::size_t point = version.find('.', begin);
          const std::string_view part =
              std::string_view(version).substr(begin, point == std::string::npos ? std::string::npos : point - begin);
          joined += padPart(part);
          if (point == std::string::npos) break;
          joined += '.';
          begin = point + 1;
        }
        padded = joined;
      },
      ErrorHandler::BoxAndCount);
  return padded;
}

void checkForUpdatedVersion(Console& console) { checkForUpdatedVersion(console, updateSite(console.program)); }

void checkForUpdatedVersion(Console& console, const UpdateSite& site) {
  Program& program = console.program;
  const std::string webVersion = getWebVersion(program, site);
  const std::string ownVersion = PadVersionString(program, platform::programVersion());
  if (webVersion.empty()) {
    program.host.messageBox(
        "Unable to contact application home page to check for version.  You can access the home page and check for "
        "updated versions of all Marrabel Corvane tools by going to " +
            site.host,
        kApplicationTitle, MessageButtons::Ok, MessageIcon::None);
    return;
  }
  // Compared as text, character by character; a prefix is the lesser.
  if (ownVersion < webVersion) {
    const MessageResult answer =
        program.host.messageBox("An updated version of this tool is available on " + site.host +
                                    ".  Click OK to open the application home page now",
                                "Updated version is available", MessageButtons::OkCancel, MessageIcon::None);
    if (answer == MessageResult::Ok && console.platform.openUrl) console.platform.openUrl(site.pageAddress);
    return;
  }
  program.host.messageBox("You have the most up to date version of this tool installed", kApplicationTitle,
                          MessageButtons::Ok, MessageIcon::None);
}

}  // namespace travik
