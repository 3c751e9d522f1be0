#pragma once
// The test classes of eq_window_edit_tests, run one after the other.
int RunPrintingTests(int argc, char** argv);
int RunWindowFilesTests(int argc, char** argv);
int RunWindowPrintTests(int argc, char** argv);
