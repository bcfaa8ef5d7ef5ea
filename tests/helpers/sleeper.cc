// Sleeps for the number of milliseconds given as its only argument (default
// 60000), then exits with code 0. Tests start it as a process to wait for.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  const unsigned long milliseconds = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 60000;
  ::Sleep(milliseconds);
  return 0;
}
