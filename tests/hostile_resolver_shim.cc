// Preloaded into kestalentry by the hostile-input tests: resolves the test's terminal
// names (quotes, semicolons, bytes above 127) to loopback addresses from a file, so
// that no lookup of them ever leaves the machine. Numeric addresses and localhost go
// to the system resolver unchanged; any other name is unknown (EAI_NONAME).
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netdb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using GetaddrinfoFn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

GetaddrinfoFn system_getaddrinfo() {
  static GetaddrinfoFn next = reinterpret_cast<GetaddrinfoFn>(dlsym(RTLD_NEXT, "getaddrinfo"));
  return next;
}

bool passes_through(const char* node) {
  unsigned char address[16];
  return std::strcmp(node, "localhost") == 0 || inet_pton(AF_INET, node, address) == 1 ||
         inet_pton(AF_INET6, node, address) == 1;
}

// The address listed for `node` in the file: lines of address, a tab, the name.
std::string listed_address(const char* node) {
  const char* path = std::getenv("KESTAL_TEST_HOSTS");
  if (path == nullptr) return {};
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return {};
  std::string content;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  std::fclose(file);
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    std::size_t tab = line.find('\t');
    if (tab != std::string::npos && line.compare(tab + 1, std::string::npos, node) == 0)
      return line.substr(0, tab);
    start = end + 1;
  }
  return {};
}

}  // namespace

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result) {
  GetaddrinfoFn next = system_getaddrinfo();
  if (next == nullptr) return EAI_FAIL;
  if (node == nullptr || passes_through(node)) return next(node, service, hints, result);
  std::string address = listed_address(node);
  if (address.empty()) return EAI_NONAME;
  addrinfo numeric{};
  if (hints != nullptr) numeric = *hints;
  numeric.ai_flags |= AI_NUMERICHOST;
  return next(address.c_str(), service, &numeric, result);
}
