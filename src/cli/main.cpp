#include <cstdio>
int main() {
  std::fputs("tersify-cli: not built yet\n", stderr);
  return 2;
}
