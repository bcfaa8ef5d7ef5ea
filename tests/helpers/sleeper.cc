// Sleeps for the number of milliseconds given as its first argument
// (default 60000), then exits with code 0. Tests start it as a process to
// wait for; with a second argument it first writes its Windows process id
// to that file, for a --wait-for-process of the assistant.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  const unsigned long milliseconds = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 60000;
  if (argc > 2) {
    FILE* file = std::fopen(argv[2], "w");
    if (file == nullptr) {
      return 2;
    }
    std::fprintf(file, "%lu", ::GetCurrentProcessId());
    std::fclose(file);
  }
  ::Sleep(milliseconds);
  return 0;
}
