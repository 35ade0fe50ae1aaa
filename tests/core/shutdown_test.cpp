// Every way out: end_program, fatal errors, end_and_run and the report.
#include <chrono>
#include <fstream>
#include <thread>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "runtime_fixture.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

using ShutdownDeathTest = RuntimeTest;

TEST_F(ShutdownDeathTest, FatalErrorInDebugModeLeavesTheEndReport) {
  EXPECT_EXIT(
      {
        project_settings().debug_mode = 1;
        set_debug_position(7, 42);
        record_runtime_error(9);
        end_program();
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(report_path()),
            "OpenGL Software Emulation\r\n-End On Line\r\n9\r\n41\r\n42\r\n7\r\n");
}

TEST_F(ShutdownDeathTest, WithoutDebugModeEndingWritesNothing) {
  EXPECT_EXIT(
      {
        record_runtime_error(7);
        end_program();
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(report_path()), "OpenGL Software Emulation\r\n");
}

TEST_F(ShutdownDeathTest, EndStatementRecordsCodeZero) {
  EXPECT_EXIT(
      {
        project_settings().debug_mode = 1;
        record_runtime_error(3);
        end_statement();
      },
      testing::ExitedWithCode(0), "");
  std::string report = read_file(report_path());
  EXPECT_NE(report.find("-End On Line\r\n0\r\n-1\r\n0\r\n0\r\n"), std::string::npos) << report;
}

TEST_F(ShutdownDeathTest, ExitHandlersRunOnTheWayOut) {
  std::string marker = temp_dir() + "/exit-handler-ran";
  EXPECT_EXIT(
      {
        static std::string path;
        path = marker;
        std::atexit([] { std::ofstream(path) << "yes"; });
        end_program();
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(marker), "yes");
}

TEST_F(ShutdownDeathTest, EndAndRunStartsTheCommandAndEnds) {
  std::string marker = temp_dir() + "/started-by-end-and-run";
  EXPECT_EXIT(end_and_run(DynString("echo started > '") + marker.c_str() + "'"), testing::ExitedWithCode(0), "");
  std::string content;
  for (int i = 0; i < 200 && content.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    content = read_file(marker);
  }
  EXPECT_EQ(content, "started\n");
}

TEST_F(ShutdownDeathTest, EndAndRunEndsAlsoWhenNothingCanStart) {
  EXPECT_EXIT(end_and_run(DynString("")), testing::ExitedWithCode(0), "");
}

TEST_F(RuntimeTest, RecordRuntimeErrorOnlyRecords) {
  set_debug_position(2, 11);
  EXPECT_EQ(record_runtime_error(9), 9);
  EXPECT_EQ(engine().debug.error_code, 9);
  EXPECT_EQ(engine().debug.error_line, 11);
  EXPECT_EQ(engine().debug.debug_source, 2);
  reset_debug_position();
  EXPECT_EQ(engine().debug.error_code, 0);
  EXPECT_EQ(engine().debug.debug_line, 0);
}

TEST_F(RuntimeTest, ReportLinesAreAppendedWithCrLf) {
  append_report_line("first");
  append_report_line("");
  append_report_line("third");
  EXPECT_EQ(read_file(report_path()), "OpenGL Software Emulation\r\nfirst\r\n\r\nthird\r\n");
}

TEST_F(RuntimeTest, DebugHooksDoNothingWithoutADebugger) {
  // No tracer is attached to a test run: neither call may stop or pause.
  debug_text(DynString("hello"));
  debug_break(0x2a);
  EXPECT_EQ(engine().paused, 0);
  show_screen();
}

}  // namespace
}  // namespace quarvel_test
