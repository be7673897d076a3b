#include "platform/processes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/headless/recorded_services.h"
#include "platform/posix/desktop_entry.h"
#include "support/temp_game.h"

namespace vv::platform {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Waits (up to ten seconds) for a started program to write its file.
std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 1000; ++i) {
    const std::string text = ReadAll(path);
    if (!text.empty() && text.back() == '\n') return text;
    const timespec pause{0, 10'000'000};
    nanosleep(&pause, nullptr);
  }
  return "<never written>";
}

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

// Sets environment variables for one test and puts them back after.
class ScopedEnv {
 public:
  void Set(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) setenv(it->first.c_str(), it->second->c_str(), 1);
      else unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(PosixProcessesTest, StartsProgramsWithTheirArguments) {
  testing::TempGame temp;
  auto processes = CreatePosixProcesses();
  const std::string out = temp.dir() + "/out.txt";
  ASSERT_TRUE(processes->Start(
      "sh", {"-c", "printf '%s|%s\\n' \"$1\" \"$2\" > \"$3\"", "sh", "a b", "日本", out}));
  EXPECT_EQ(WaitForFile(out), "a b|日本\n");
  EXPECT_FALSE(processes->Start("/nonexistent/program", {}));
  EXPECT_FALSE(processes->Start("vavevo-no-such-program-on-path", {}));
}

TEST(PosixProcessesTest, OpensDocumentsAndFindsTheAssociatedProgram) {
  testing::TempGame temp;
  const std::string bin = temp.dir() + "/bin";
  const std::string apps = temp.dir() + "/data/applications/vendor";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(apps);
  WriteScript(bin + "/xdg-open", "printf '%s\\n' \"$1\" > \"" + temp.dir() + "/opened\"\n");
  WriteScript(bin + "/xdg-mime",
              "case \"$1 $2 $3\" in\n"
              "  'query filetype '*.vvt) echo 'text/x-vvtest' ;;\n"
              "  'query default text/x-vvtest') echo 'vendor-vvedit.desktop' ;;\n"
              "  *) exit 1 ;;\n"
              "esac\n");
  std::ofstream(apps + "/vvedit.desktop") << "[Desktop Action New]\nExec=wrong\n"
                                             "[Desktop Entry]\nName=Editor\n"
                                             "Exec=\"/opt/vv edit/bin/vvedit\" --line %f\n";
  ScopedEnv env;
  env.Set("PATH", bin + ":" + std::getenv("PATH"));
  env.Set("XDG_DATA_HOME", temp.dir() + "/data");
  env.Set("XDG_DATA_DIRS", temp.dir() + "/nowhere");

  auto processes = CreatePosixProcesses();
  EXPECT_EQ(processes->AssociatedProgram(temp.dir() + "/script.vvt"), "/opt/vv edit/bin/vvedit");
  EXPECT_EQ(processes->AssociatedProgram(temp.dir() + "/picture.png"), "");  // no type known
  ASSERT_TRUE(processes->OpenDocument(temp.dir() + "/manual 1.html"));
  EXPECT_EQ(WaitForFile(temp.dir() + "/opened"), temp.dir() + "/manual 1.html\n");
}

TEST(DesktopEntryTest, ReadsTheProgramOfTheExecLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[Desktop Entry]\nExec=gedit %U\n", "gedit"},
      {"[Desktop Entry]\r\nExec = /usr/bin/kate -b %F\r\n", "/usr/bin/kate"},
      {"[Desktop Entry]\nExec=\"/opt/My Editor/edit\" %f\n", "/opt/My Editor/edit"},
      {"[Desktop Entry]\nExec=\"/opt/a\\\\\"b\"\n", "/opt/a\"b"},
      {"[Desktop Entry]\nExec=env LANG=C EDITOR=1 /usr/bin/vim %f\n", "/usr/bin/vim"},
      {"[Desktop Entry]\nExec=edit%%x\n", "edit%x"},
      {"# comment\n[Other]\nExec=no\n[Desktop Entry]\nName=x\n", ""},
      {"[Desktop Entry]\nTryExec=no\nExec=\n", ""},
  };
  for (const auto& [text, program] : cases) {
    EXPECT_EQ(ProgramFromDesktopEntry(text), program) << text;
  }
}

TEST(RecordedProcessesTest, RecordsInsteadOfRunning) {
  RecordedProcesses p;
  EXPECT_TRUE(p.Start("/nonexistent/editor", {"-n10", "file.txt"}));
  EXPECT_TRUE(p.OpenDocument("/tmp/readme.html"));
  EXPECT_EQ(p.AssociatedProgram("x.txt"), "");
  p.SetAssociatedProgram("gedit");
  EXPECT_EQ(p.AssociatedProgram("x.txt"), "gedit");
  ASSERT_EQ(p.Records().size(), 2u);
  EXPECT_EQ(p.Records()[0].program, "/nonexistent/editor");
  EXPECT_EQ(p.Records()[0].args, (std::vector<std::string>{"-n10", "file.txt"}));
  EXPECT_FALSE(p.Records()[0].document);
  EXPECT_EQ(p.Records()[1].program, "/tmp/readme.html");
  EXPECT_TRUE(p.Records()[1].document);
}

}  // namespace
}  // namespace vv::platform
