// The baseline for the start-up cost of qzftconfig: a C++ program that does nothing.
#include <iostream>

int main() {
  std::cout << "hello, world\n";
  return 0;
}
