// The Help menu's update check and about box.  The maker's page is served
// from a file or from a listener inside the test; nothing leaves the machine.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <thread>

#include "admin/console/update_check.h"
#include "admin/windows/frm_about.h"
#include "processing/runtime/console_interlock.h"
#include "processing/runtime/registry_api.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

// A product page as the maker publishes it, with the version in its place.
std::string productPage(const std::string& version) {
  return "<html><body><table><tr><td class=\"label\">version</td>"
         "<td><font face=\"Helvetica\">" +
         version + "</font></td></tr></table></body></html>";
}

// One HTTP exchange on the loopback interface, served from its own thread.
class OneShotHttpServer {
 public:
  explicit OneShotHttpServer(std::string body) : body_(std::move(body)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 1);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~OneShotHttpServer() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }
  // The request as received (read after the exchange).
  const std::string& request() const { return request_; }

 private:
  void serve() {
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    char buffer[4096];
    while (request_.find("\r\n\r\n") == std::string::npos) {
      const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request_.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string response =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body_.size()) +
        "\r\nConnection: close\r\n\r\n" + body_;
    ::send(connection, response.data(), response.size(), MSG_NOSIGNAL);
    ::close(connection);
  }

  std::string body_;
  int listener_ = -1;
  int port_ = 0;
  std::string request_;
  std::thread thread_;
};

class UpdateCheckTest : public test::ConsoleFixture {
 protected:
  UpdateCheckTest() {
    connect();
    test.openLog();
  }

  // The page as a local file, reached through a file address.
  UpdateSite pageFile(const std::string& content) {
    const auto file = test.folder() / "App_TRAVIK.htm";
    test::writeFile(file, content);
    UpdateSite site;
    site.host = "tools.example.test";
    site.pageAddress = "file://" + file.string();
    return site;
  }
  std::string pad(const std::string& version) { return PadVersionString(program(), version); }
};

TEST_F(UpdateCheckTest, VersionsArePaddedPartByPartToCompareAsText) {
  EXPECT_EQ(pad("1.1.1"), "01.01.01");
  EXPECT_EQ(pad("1.01.0001"), "01.01.01");
  EXPECT_EQ(pad("1.01.0002"), "01.01.02");
  EXPECT_EQ(pad("1.1.10"), "01.01.010");
  EXPECT_EQ(pad("0.42.123.1234.98765"), "0.042.0123.1234.98765");
  EXPECT_EQ(pad("1..2"), "01..02");
  EXPECT_TRUE(boxes.empty());
  // Too short to be a version: no version, no report.
  EXPECT_EQ(pad("1.2"), "");
  EXPECT_TRUE(boxes.empty());
  // Four characters without a point cannot be read: reported and counted.
  EXPECT_EQ(pad("1234"), "");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("in procedure PadVersionString of Module modUpdateCheck"), std::string::npos);
  EXPECT_EQ(program().handledErrorCount, 1);
  EXPECT_EQ(activityLog().find("PadVersionString"), std::string::npos);
}

TEST_F(UpdateCheckTest, TheVersionIsTheDigitsAndPointsAfterTheFontName) {
  EXPECT_EQ(getWebVersion(program(), pageFile(productPage("1.2.3"))), "01.02.03");
  EXPECT_EQ(getWebVersion(program(), pageFile(productPage("1.01.0001 (May 2003)"))), "01.01.01");
  // Without the marker, or without the font after it, there is no version.
  EXPECT_EQ(getWebVersion(program(), pageFile("<html><font face=\"Helvetica\">1.2.3</font></html>")), "");
  EXPECT_EQ(getWebVersion(program(), pageFile("<td>version</td><td>1.2.3</td>")), "");
  EXPECT_EQ(getWebVersion(program(), pageFile("short")), "");
  EXPECT_EQ(program().handledErrorCount, 0);
}

TEST_F(UpdateCheckTest, TheSameVersionIsUpToDate) {
  checkForUpdatedVersion(*console, pageFile(productPage("1.01.0001")));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "You have the most up to date version of this tool installed");
  EXPECT_EQ(boxes[0].title, "TRAVIK");
  EXPECT_TRUE(openedUrls.empty());
}

TEST_F(UpdateCheckTest, ANewerVersionIsOfferedAndOpenedOnlyOnOk) {
  const UpdateSite site = pageFile(productPage("1.1.10"));
  answers = {MessageResult::Cancel};
  checkForUpdatedVersion(*console, site);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "An updated version of this tool is available on tools.example.test.  Click OK to open the application "
            "home page now");
  EXPECT_EQ(boxes[0].title, "Updated version is available");
  EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_TRUE(openedUrls.empty());

  answers = {MessageResult::Ok};
  checkForUpdatedVersion(*console, site);
  EXPECT_EQ(openedUrls, std::vector<std::string>{site.pageAddress});
}

TEST_F(UpdateCheckTest, AnUnreachablePageGivesTheNoVersionMessage) {
  UpdateSite site;
  site.host = "tools.example.test";
  // Nothing listens on port 1 of the loopback interface: refused at once.
  site.pageAddress = "http://127.0.0.1:1/App_TRAVIK.htm";
  site.connectTimeoutSeconds = 2;
  site.timeoutSeconds = 2;
  checkForUpdatedVersion(*console, site);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "Unable to contact application home page to check for version.  You can access the home page and check "
            "for updated versions of all Marrabel Corvane tools by going to tools.example.test");
  EXPECT_EQ(boxes[0].title, "TRAVIK");
  EXPECT_EQ(program().handledErrorCount, 0);

  boxes.clear();
  checkForUpdatedVersion(*console, pageFile("<html>no version published here</html>"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("Unable to contact application home page", 0), 0u);
}

TEST_F(UpdateCheckTest, TheMenuReadsThePageFromTheConfiguredHost) {
  EXPECT_EQ(updateSite(program()).pageAddress, "http://tools.marrabelcorvane.example/App_TRAVIK.htm");

  OneShotHttpServer server(productPage("1.01.0002"));
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  regCreateKey(program(), kHkeyLocalMachine, kAdminRegistryKey);
  platform::RegValue value;
  value.type = platform::RegType::String;
  value.text = host;
  regSetValue(program(), kHkeyLocalMachine, kAdminRegistryKey, kUpdateSiteHostValue, kRegSz, value);

  answers = {MessageResult::Ok};
  frmMain().mnuHelpCheckForUpdatedVersion->trigger();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Updated version is available");
  EXPECT_NE(boxes[0].text.find("available on " + host + "."), std::string::npos);
  EXPECT_EQ(openedUrls, std::vector<std::string>{"http://" + host + "/App_TRAVIK.htm"});
  EXPECT_EQ(server.request().rfind("GET /App_TRAVIK.htm HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(server.request().find("User-Agent: HTTP Generic\r\n"), std::string::npos);
}

class AboutBoxTest : public test::ConsoleFixture {
 protected:
  AboutBoxTest() { connect(); }
};

TEST_F(AboutBoxTest, ShowsTheVersionAndTheYearOfItsFirstOpening) {
  EXPECT_EQ(aboutVersionText(1, 1, 1), " 1.1 Build 1");
  EXPECT_EQ(aboutVersionText(2, 10, 345), " 2.10 Build 345");

  clock = DateTime(2031, 1, 2, 9, 0, 0);
  frmMain().mnuHelpAbout->trigger();
  EXPECT_EQ(modalWindows, std::vector<std::string>{"frmAbout"});
  FrmAbout& about = console->frmAbout();
  EXPECT_EQ(about.windowTitle().toStdString(), kProductFullName);
  EXPECT_EQ(about.minimumSize(), about.maximumSize());
  EXPECT_FALSE(about.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(about.lblVersionTitle->text().toStdString(), "Version:");
  EXPECT_TRUE(about.lblVersionTitle->font().bold());
  EXPECT_EQ(about.lblVersion->text().toStdString(), " 1.1 Build 1");
  EXPECT_TRUE(about.lblNotice2->text().endsWith(QStringLiteral("2031")));

  // OK only hides the box; a later opening shows what the first one set.
  about.show();
  about.cmdOK->click();
  EXPECT_FALSE(about.isVisible());
  clock = DateTime(2032, 6, 1, 9, 0, 0);
  frmMain().mnuHelpAbout->trigger();
  EXPECT_TRUE(console->frmAbout().lblNotice2->text().endsWith(QStringLiteral("2031")));
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace travik
