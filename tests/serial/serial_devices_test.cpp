// The serial library on pseudo-terminal pairs: port names, settings from a
// mode string and from a structure, transfers through the file builtins,
// text mode, timeouts, the user's break, flushing and closing, and opens
// that fail or meet a peer that never stops sending.
#include "serial/serial_devices.hpp"

#include <dirent.h>
#include <termios.h>

#include <cstdio>
#include <memory>
#include <string>

#include "engine/errors/raise.hpp"
#include "engine/files/fd.hpp"
#include "engine/values/values.hpp"
#include "platform/serial_port.hpp"
#include "tests/host/eval_fixture.hpp"
#include "tests/host/pty_pair.hpp"
#include "tests/host/value_io.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class SerialDevices : public EvalFixture {
 protected:
  SerialDevices() { ResetSerialDevicesForTesting(); }
  ~SerialDevices() override { ResetSerialDevicesForTesting(); }

  // Opens the port with the second argument's source text (none: defaults).
  int32_t Open(const PtyPair& pty, const std::string& settings = "") {
    const std::string text =
        "serialdevopen('" + pty.path() + "'" + (settings.empty() ? "" : ", " + settings) + ")";
    const std::string fd = Eval(text);
    EXPECT_EQ(fd.find("error"), std::string::npos) << text << ": " << Failure(text);
    return std::atoi(fd.c_str());
  }

  // The value of the text in one line.
  std::string OneLine(const std::string& text) {
    std::string value = Eval(text);
    for (size_t at; (at = value.find(" ...\n")) != std::string::npos;) value.erase(at, 5);
    return value;
  }

  // The identifier and message of the error the text raises.
  std::string Failure(const std::string& text) {
    const ErrCode e = EvaluateText(ctx, text);
    if (e == kOk) return "no error";
    if (GetErrorIdentifier(ctx, e) != kOk) return "error " + std::to_string(e);
    const std::string id = PopText(ctx);
    char message[256];
    int32_t n = 0;
    GetErrorText(ctx, e, true, message, sizeof message, &n);
    return id + " " + message;
  }

  // What the line settings of the terminal are.
  static std::string Line(const PtyPair& pty) {
    termios t{};
    tcgetattr(pty.terminal(), &t);
    std::string line = std::to_string(SerialPortSpeed(pty.terminal()));
    if ((t.c_cflag & CSIZE) == CS8) line += " 8";
    if (t.c_cflag & PARENB) line += " parity";
    line += t.c_cflag & CSTOPB ? " 2stop" : " 1stop";
    if (t.c_cflag & CRTSCTS) line += " rtscts";
    if (t.c_lflag & (ICANON | ECHO)) line += " cooked";
    return line;
  }

  static int OpenDescriptors() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (readdir(d)) n++;
    closedir(d);
    return n;
  }
};

TEST_F(SerialDevices, SettingsStructureAndPortNames) {
  EXPECT_EQ(OneLine("serialdevset()"),
            "struct('BPS',19200,'Delay',0,'Handshake',false,'StopBits',2,'TextMode',false,"
            "'Timeout',1)");
  EXPECT_EQ(Eval("s = serialdevset('Timeout', 5); serialdevset(s, 'BPS', 9600).Timeout"), "5");
  EXPECT_EQ(Eval("serialdevset('Baud', 9600)"), "error 108");

  ListedPorts ports({"/dev/ttyS1", "/dev/ttyUSB0"});
  EXPECT_EQ(Eval("serialdevname(2)"), "'/dev/ttyUSB0'");
  EXPECT_EQ(Eval("devicename(1)"), "'/dev/ttyS1'");
  EXPECT_EQ(OneLine("{serialdevname(3), serialdevname(0), serialdevname(1.5)}"), "{'','',''}");
  EXPECT_EQ(OneLine("serialdevname()"), "{'/dev/ttyS1','/dev/ttyUSB0'}");
}

TEST_F(SerialDevices, ModeStringAndStructureSetTheSameLine) {
  PtyPair pty;
  ListedPorts ports({pty.path()});
  struct Case {
    const char* mode;
    const char* settings;
    const char* line;
  };
  const Case cases[] = {
      {"'b9600,T500,h,t,s1'",
       "serialdevset('BPS', 9600, 'Timeout', 0.5, 'Handshake', true, 'TextMode', true, "
       "'StopBits', 1)",
       "9600 8 1stop rtscts"},
      {"'s1.5 b115200'", "serialdevset('StopBits', 1.5, 'BPS', 115200)", "115200 8 2stop"},
      {"'s2b7200'", "serialdevset('BPS', 7200)", "7200 8 2stop"},
      {"'x'", "[]", "19200 8 2stop"},
  };
  for (const Case& c : cases) {
    for (const char* settings : {c.mode, c.settings}) {
      const int32_t fd = Open(pty, settings);
      EXPECT_EQ(Line(pty), c.line) << settings;
      EXPECT_EQ(Eval("closedevice(" + std::to_string(fd) + "); 0"), "0");
    }
  }
}

TEST_F(SerialDevices, FailedOpensLeaveNothingOpen) {
  PtyPair pty;
  const std::string folder = testing::TempDir();
  const std::string file = folder + "serial_not_a_port";
  std::fclose(std::fopen(file.c_str(), "w"));
  ListedPorts ports({pty.path(), folder, file, "/dev/no_such_port"});
  const int before = OpenDescriptors();
  const std::string name = "serialdevopen('" + pty.path() + "', ";
  EXPECT_EQ(Failure(name + "'b12345')"), "serial:bps Unsupported serial port speed");
  EXPECT_EQ(Failure(name + "serialdevset('BPS', 9600.5))"),
            "serial:bps Unsupported serial port speed");
  EXPECT_EQ(Failure(name + "serialdevset('Timeout', -1))"),
            "VKE:outOfRangeArg Argument out of range 'serialdevopen'");
  EXPECT_EQ(Failure(name + "serialdevset('Delay', nan))"),
            "VKE:outOfRangeArg Argument out of range 'serialdevopen'");
  EXPECT_EQ(Failure(name + "7)"), "VKE:wrongType Wrong type 'serialdevopen'");
  EXPECT_EQ(Failure("serialdevopen('/dev/ttyS77')"), "serial:devname Bad serial port name");
  EXPECT_EQ(Failure("serialdevopen('" + folder + "')"),
            "serial:device Serial port path is a directory");
  EXPECT_EQ(Failure("serialdevopen('/dev/no_such_port')"),
            "serial:device Nonexistent serial port path");
  EXPECT_EQ(Failure("serialdevopen('" + file + "')"), "serial:device Cannot open serial port");
  EXPECT_EQ(OpenDescriptors(), before);
  std::remove(file.c_str());

  // Sixteen ports at most; a failed 17th open takes nothing.
  std::vector<std::unique_ptr<PtyPair>> lines;
  std::vector<std::string> paths;
  for (int i = 0; i < 17; i++) {
    lines.push_back(std::make_unique<PtyPair>());
    paths.push_back(lines.back()->path());
  }
  ListedPorts many(paths);
  std::vector<int32_t> fds;
  for (int i = 0; i < 16; i++) fds.push_back(Open(*lines[i]));
  EXPECT_EQ(fds.back() - fds.front(), 15);
  EXPECT_EQ(Eval("serialdevopen('" + paths[16] + "')"), "error 304");
  EXPECT_EQ(Eval("fclose(" + std::to_string(fds[3]) + "); 0"), "0");
  EXPECT_EQ(Open(*lines[16]), fds[3]);
  // Closing all closes every port and leaves the answer to other libraries.
  EXPECT_EQ(CloseFd(ctx, kAllFds), kErrBadFileID);
  EXPECT_EQ(Eval("fwrite(" + std::to_string(fds[0]) + ", 1)"), "error 301");
  EXPECT_EQ(Eval("fclose('all'); 0"), "0");
}

TEST_F(SerialDevices, BytesTravelBothWays) {
  PtyPair other, pty;
  ListedPorts ports({other.path(), pty.path()});
  const std::string fd = std::to_string(Open(pty));  // the named port, not the first listed
  EXPECT_EQ(Eval("fwrite(" + fd + ", [104 105 0 255]); fprintf(" + fd + ", 'x\\n'); 0"), "0");
  EXPECT_EQ(pty.Receive(6), std::string("hi\0\xffx\n", 6));
  pty.Send("abc\r\nline\n");
  EXPECT_EQ(Eval("fread(" + fd + ", 5)'"), "[97:99,13,10]");
  EXPECT_EQ(Eval("fgetl(" + fd + ")"), "'line'");
  EXPECT_EQ(other.PendingInput(), 0);

  // Descriptor requests: never at the end, no positions, flushing drops input.
  EXPECT_EQ(Eval("feof(" + fd + ")"), "false");
  EXPECT_EQ(Eval("ftell(" + fd + ")"), "-1");
  intptr_t word = 0;
  EXPECT_EQ(IoControlFd(ctx, std::stoi(fd), kIoClear + 3, 0, &word, nullptr), kErrIllegal);
  pty.Send("stale");
  ASSERT_TRUE(pty.WaitForInput(5));
  EXPECT_EQ(Eval("flushdevice(" + fd + "); 0"), "0");
  EXPECT_EQ(pty.PendingInput(), 0);
  pty.Send("old");
  ASSERT_TRUE(pty.WaitForInput(3));
  EXPECT_EQ(Eval("fflush(" + fd + "); 0"), "0");
  pty.Send("new");
  EXPECT_EQ(Eval("char(fread(" + fd + ", 3)')"), "'new'");
  EXPECT_EQ(Eval("closedevice(" + fd + "); 0"), "0");
  EXPECT_EQ(Eval("closedevice(" + fd + "); 0"), "error 301");
}

TEST_F(SerialDevices, TextModeTurnsCrIntoLf) {
  PtyPair pty;
  ListedPorts ports({pty.path()});
  const std::string fd = std::to_string(Open(pty, "'t'"));
  pty.Send("a\r\nb\rc");
  EXPECT_EQ(Eval("double(fread(" + fd + ", 5)')"), "[97,10,98,10,99]");
  // The CR of one read drops the LF that starts the next.
  pty.Send("x\r");
  EXPECT_EQ(Eval("fread(" + fd + ", 2)'"), "[120,10]");
  pty.Send("\n\ny\r\n");
  EXPECT_EQ(Eval("fread(" + fd + ", 2)'"), "[10,121]");
  EXPECT_EQ(Eval("fgetl(" + fd + ")"), "''");
}

TEST_F(SerialDevices, TimeoutsAndTheUsersBreak) {
  PtyPair pty;
  ListedPorts ports({pty.path()});
  const std::string fd = std::to_string(Open(pty, "'T200'"));
  EXPECT_EQ(Eval("fread(" + fd + ", 1)"), "error 306");
  EXPECT_EQ(Eval("fgetl(" + fd + ")"), "error 306");

  // A break while a long read waits, and while a write waits for a device
  // that does not read.
  {
    StreamingDevice peer(pty);
    host.ScriptBreaks({true});
    EXPECT_EQ(Eval("fread(" + fd + ", 1e5)"), "error 501");
  }
  pty.FillOutput();
  EXPECT_EQ(Eval("fwrite(" + fd + ", 1)"), "error 306");
  host.ScriptBreaks({true});
  EXPECT_EQ(Eval("fwrite(" + fd + ", 1)"), "error 501");

  // A paced write stops after the byte and pause (of at most a second) in
  // which the break comes.
  PtyPair slow;
  ListedPorts other({slow.path()});
  const std::string paced = std::to_string(Open(slow, "serialdevset('Delay', 5)"));
  host.ScriptBreaks({true});
  EXPECT_EQ(Eval("fwrite(" + paced + ", 1:3)"), "error 501");
  EXPECT_EQ(slow.Receive(1), "\x01");
}

TEST_F(SerialDevices, OpenFinishesAgainstAPeerThatNeverPauses) {
  PtyPair pty;
  ListedPorts ports({pty.path()});
  StreamingDevice peer(pty);
  const int32_t fd = Open(pty);
  EXPECT_GT(fd, 0);
  // A break while it drains stops the open. The drain ends as soon as the
  // peer is quiet for a moment, which a loaded machine can make it be before
  // the break is seen: an open that got through is closed and tried again.
  ResetSerialDevicesForTesting();
  std::string result;
  for (int attempt = 0; attempt < 20; ++attempt) {
    host.ScriptBreaks({true});
    result = Eval("serialdevopen('" + pty.path() + "')");
    if (result == "error 501") break;
    Eval("fclose(" + result + "); 0");
  }
  EXPECT_EQ(result, "error 501");
  EXPECT_EQ(Eval("fclose(" + std::to_string(fd) + "); 0"), "error 301");
}

}  // namespace
}  // namespace vke
