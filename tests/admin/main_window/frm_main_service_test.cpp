// Installing, removing, starting and stopping the processing service from the
// main window: the command lines, the exit-code rule, the messages, the log
// lines and the registry value the service wrapper reads.
#include <QPushButton>

#include "processing/runtime/application_parameters.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

constexpr const char* kParametersKey = "System\\CurrentControlSet\\Services\\TRAVIKservice.exe\\Parameters";

class ServiceControlTest : public test::ConsoleFixture {
 protected:
  ServiceControlTest() {
    connect();
    test::writeFile(test.traceFolder() / "MVLOG.001", "");
    test.openLog();
  }

  std::optional<std::string> applicationValue() {
    const auto value = program().registry.queryValue("HKEY_LOCAL_MACHINE", kParametersKey, "Application");
    return value ? std::optional<std::string>(value->text) : std::nullopt;
  }
  bool logHas(const std::string& text) { return activityLog().find(text) != std::string::npos; }
};

TEST_F(ServiceControlTest, InstallRunsInstsrvWithTheWrapperAndRecordsTheServiceProgram) {
  exitCodes = {1};
  frmMain().cmdInstallService->click();
  const std::string folder = program().programFolder.string();
  EXPECT_EQ(commands, std::vector<std::string>{"INSTSRV TRAVIKservice.exe \"" + folder + "\\SRVANY.EXE\""});
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "This will install the TRAVIK service.  Do you want to continue?");
  EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(boxes[1].text,
            "TRAVIKservice.exe was successfully installed and configured for startup type 'Automatic'.\n"
            "Use TRAVIK administration to configure the settings and then start the TRAVIK service.");
  EXPECT_EQ(boxes[1].icon, MessageIcon::Information);
  EXPECT_EQ(applicationValue(), folder + "\\TRAVIKservice.exe");
  EXPECT_TRUE(logHas(": TRAVIKservice installation requested."));
  EXPECT_TRUE(logHas(": TRAVIKservice installation complete."));
  EXPECT_EQ(host.mousePointer(), kPointerDefault);
}

TEST_F(ServiceControlTest, AnInstallWhoseServiceProgramCannotBeRecordedIsNoSuccess) {
  ASSERT_TRUE(program().registry.createKey("HKEY_LOCAL_MACHINE", kParametersKey));
  // A folder where the value's file is written first: the write fails.
  std::filesystem::create_directories(program().registry.keyFolder("HKEY_LOCAL_MACHINE", kParametersKey) /
                                      ".Application.tmp");
  exitCodes = {1};
  frmMain().cmdInstallService->click();
  EXPECT_EQ(boxes.at(1).text.rfind("TRAVIKservice.exe was installed, but the program it starts could not be ", 0), 0u);
  EXPECT_TRUE(
      logHas("(error): TRAVIKservice installation failed.  The service's Application value could not be "
             "written."));
}

TEST_F(ServiceControlTest, AnInstallExitCodeOtherThanOneIsAFailureAndWritesNoRegistryValue) {
  for (int code : {0, 3, -1}) {
    boxes.clear();
    exitCodes = {code};
    frmMain().cmdInstallService_Click();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text,
              "Could not install TRAVIKservice.exe.  Verify in the Windows Services Control Panel that the service "
              "is not already installed.  Return Code " +
                  std::to_string(code));
    EXPECT_TRUE(logHas("TRAVIKservice installation failed.  Return Code=" + std::to_string(code)));
    EXPECT_FALSE(applicationValue());
  }
}

TEST_F(ServiceControlTest, CancelAtEitherConfirmationRunsNothingAndLogsNothing) {
  answers = {MessageResult::Cancel, MessageResult::Cancel};
  frmMain().cmdInstallService_Click();
  frmMain().cmdUninstallService_Click();
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text,
            "This will uninstall the TRAVIK service.\nPlease close the Windows Service Control Manager if it is "
            "running.\n\nDo you want to continue?");
  EXPECT_FALSE(logHas("requested"));
}

TEST_F(ServiceControlTest, UninstallClearsServiceProcessingWhateverInstsrvReturns) {
  for (int code : {1, 2}) {
    setApplicationParameter(program(), parameter::kServiceProcessing, "True");
    boxes.clear();
    commands.clear();
    exitCodes = {code};
    frmMain().cmdUninstallService_Click();
    EXPECT_EQ(commands, std::vector<std::string>{"INSTSRV TRAVIKservice.exe REMOVE"});
    EXPECT_FALSE(program().settings.serviceProcessing);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].icon, MessageIcon::Information);
    if (code == 1) {
      EXPECT_EQ(boxes[1].text, "The TRAVIK service was successfully uninstalled.");
      EXPECT_TRUE(logHas(": TRAVIKservice uninstall complete."));
    } else {
      EXPECT_EQ(boxes[1].text,
                "Could not uninstall TRAVIKservice.exe.  Verify in the Windows Services Control Panel that the "
                "service is not already uninstalled, and that the service is not running.  Return Code 2");
      EXPECT_TRUE(logHas("TRAVIKservice uninstallation failed.  Return Code=2"));
    }
  }
  EXPECT_TRUE(logHas(": TRAVIKservice uninstall requested."));
}

TEST_F(ServiceControlTest, StartSucceedsOnZeroOnlyAndAsksNothingFirst) {
  exitCodes = {0};
  frmMain().cmdStartService->click();
  EXPECT_EQ(commands, std::vector<std::string>{"net start TRAVIKservice.exe"});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "TRAVIKservice.exe started successfully.\n"
            "Please exit TRAVIK administration to activate the automatic processing of call data.");
  EXPECT_TRUE(logHas(": TRAVIKservice.exe start requested."));
  EXPECT_TRUE(logHas(": TRAVIKservice.exe start successful."));

  boxes.clear();
  exitCodes = {2};
  frmMain().cmdStartService_Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(boxes[0].text,
            "TRAVIKservice.exe failed to start.  Verify in the Windows Services Control Panel that the service is "
            "not already running, and that the service is not disabled.  Return Code 2");
  EXPECT_TRUE(logHas(": (error): TRAVIKservice.exe failed to start.  Return Code=2"));
}

TEST_F(ServiceControlTest, StopSucceedsOnZeroAndReportsAnyOtherCodeAsAnErrorLine) {
  exitCodes = {0, 1};
  frmMain().cmdStopService->click();
  frmMain().cmdStopService->click();
  EXPECT_EQ(commands, (std::vector<std::string>{"net stop TRAVIKservice.exe", "net stop TRAVIKservice.exe"}));
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "TRAVIKservice.exe stopped successfully.");
  EXPECT_EQ(boxes[0].icon, MessageIcon::Information);
  EXPECT_EQ(boxes[1].text,
            "TRAVIKservice.exe failed to stop.  Verify in the Windows Services Control Panel that the service is "
            "not already stopped.  Return Code 1");
  EXPECT_EQ(boxes[1].icon, MessageIcon::Exclamation);
  EXPECT_TRUE(logHas(": TRAVIKservice.exe stop successful."));
  EXPECT_TRUE(logHas(": (error): TRAVIKservice.exe failed to stop.  Return Code=1"));
}

TEST_F(ServiceControlTest, AMissingLogFolderPreventsInstallAndStartButNotRemoveAndStop) {
  std::filesystem::remove(test.traceFolder() / "MVLOG.001");
  frmMain().cmdInstallService_Click();
  frmMain().cmdStartService_Click();
  EXPECT_TRUE(commands.empty());
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Enter Valid Log Path");
  exitCodes = {1, 0};
  frmMain().cmdUninstallService_Click();
  frmMain().cmdStopService_Click();
  EXPECT_EQ(commands, (std::vector<std::string>{"INSTSRV TRAVIKservice.exe REMOVE", "net stop TRAVIKservice.exe"}));
}

TEST_F(ServiceControlTest, AMissingOutputFolderPreventsInstallAndStart) {
  std::filesystem::remove_all(test.outputFolder());
  frmMain().cmdInstallService_Click();
  frmMain().cmdStartService_Click();
  EXPECT_TRUE(commands.empty());
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].title, "Configure Valid Output Folder");
}

}  // namespace
}  // namespace travik
