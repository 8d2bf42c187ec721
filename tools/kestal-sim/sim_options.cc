// kestal-sim's command line, parsed GNU style.
#include "sim_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>

namespace {

bool parse_int(const char* text, long low, long high, int& out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  out = static_cast<int>(value);
  return true;
}

// Four dotted decimal parts of 0 to 255 without leading zeros, as inet_pton takes
// them (kept portable: Windows has no inet_pton before Vista's headers).
bool parse_one_address(const std::string& text, std::uint32_t& out) {
  std::uint32_t address = 0;
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return false;
      ++at;
    }
    std::size_t start = at;
    unsigned value = 0;
    while (at < text.size() && at - start < 4 && text[at] >= '0' && text[at] <= '9')
      value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    std::size_t digits = at - start;
    if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[start] == '0'))
      return false;
    address = (address << 8) | value;
  }
  if (at != text.size()) return false;
  out = address;
  return true;
}

enum Option {
  kListen = 1000,
  kPort,
  kRegistry,
  kLog,
  kCapture,
  kPassword,
  kReadyFile,
  kNoGreeting,
  kRejectPassword,
  kFailEntry,
  kSplitReplies,
  kNulReply,
  kLongReply,
  kDelayMs,
  kCloseAfter,
  kSilentAfter,
  kHelp,
};

const option kLongOptions[] = {
    {"listen", required_argument, nullptr, kListen},
    {"port", required_argument, nullptr, kPort},
    {"registry", required_argument, nullptr, kRegistry},
    {"log", required_argument, nullptr, kLog},
    {"capture", required_argument, nullptr, kCapture},
    {"password", required_argument, nullptr, kPassword},
    {"ready-file", required_argument, nullptr, kReadyFile},
    {"no-greeting", no_argument, nullptr, kNoGreeting},
    {"reject-password", no_argument, nullptr, kRejectPassword},
    {"fail-entry", required_argument, nullptr, kFailEntry},
    {"split-replies", no_argument, nullptr, kSplitReplies},
    {"nul-reply", required_argument, nullptr, kNulReply},
    {"long-reply", required_argument, nullptr, kLongReply},
    {"delay-ms", required_argument, nullptr, kDelayMs},
    {"close-after", required_argument, nullptr, kCloseAfter},
    {"silent-after", required_argument, nullptr, kSilentAfter},
    {"help", no_argument, nullptr, kHelp},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

bool parse_address_range(const std::string& text, std::vector<std::uint32_t>& out) {
  std::size_t dash = text.find('-');
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  if (dash == std::string::npos) {
    if (!parse_one_address(text, first)) return false;
    last = first;
  } else if (!parse_one_address(text.substr(0, dash), first) ||
             !parse_one_address(text.substr(dash + 1), last)) {
    return false;
  }
  if (last < first || last - first >= 65536) return false;
  for (std::uint64_t a = first; a <= last; ++a) out.push_back(static_cast<std::uint32_t>(a));
  return true;
}

const char* sim_usage() {
  return "Usage: kestal-sim [OPTION]...\n"
         "A terminal for trying entry transfers: it greets, takes the login and\n"
         "checks every UPDSYSDB line's CRC-16 and length against its entry text.\n"
         "\n"
         "  --listen ADDR[-ADDR]   IPv4 address or inclusive range to listen on;\n"
         "                         may be repeated (default 127.0.0.1)\n"
         "  --port N               TCP port (default 5010)\n"
         "  --registry FILE        append every accepted entry text, one a line\n"
         "  --log FILE             readable record of connections, commands and replies\n"
         "  --capture FILE         every byte received, unchanged (passwords included)\n"
         "  --password TEXT        the password PASS must carry (default built in)\n"
         "  --ready-file FILE      written once all addresses listen\n"
         "\n"
         "Fault injection (UPDSYSDB commands are counted from 1 per connection):\n"
         "  --no-greeting          send no 200 greeting\n"
         "  --reject-password      answer PASS with 530\n"
         "  --fail-entry K:CODE    answer the K-th UPDSYSDB with reply code CODE\n"
         "  --split-replies        send each reply in two writes, 50 ms apart\n"
         "  --nul-reply K          answer the K-th UPDSYSDB with a NUL byte and CR LF\n"
         "  --long-reply K         answer the K-th UPDSYSDB with a 200 reply of over 190 bytes\n"
         "  --delay-ms N           delay every reply by N milliseconds\n"
         "  --close-after K        close the connection once K commands were answered\n"
         "  --silent-after K       answer nothing after the first K commands\n"
         "  --help                 show this text\n"
         "\n"
         "Stops cleanly on SIGTERM or SIGINT.\n";
}

ParseResult parse_sim_options(int argc, char** argv, SimOptions& options, std::string& error) {
  bool listen_given = false;
  optind = 1;
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, "", kLongOptions, nullptr)) != -1) {
    std::string arg = optarg != nullptr ? optarg : "";
    int k = 0;
    switch (c) {
      case kListen:
        if (!listen_given) options.listen.clear();
        listen_given = true;
        if (!parse_address_range(arg, options.listen)) {
          error = "bad --listen address or range: " + arg;
          return ParseResult::kError;
        }
        break;
      case kPort:
        if (!parse_int(optarg, 1, 65535, k)) {
          error = "bad --port: " + arg;
          return ParseResult::kError;
        }
        options.port = static_cast<std::uint16_t>(k);
        break;
      case kRegistry:
        options.registry_path = arg;
        break;
      case kLog:
        options.log_path = arg;
        break;
      case kCapture:
        options.capture_path = arg;
        break;
      case kPassword:
        options.password = arg;
        break;
      case kReadyFile:
        options.ready_file = arg;
        break;
      case kNoGreeting:
        options.faults.no_greeting = true;
        break;
      case kRejectPassword:
        options.faults.reject_password = true;
        break;
      case kSplitReplies:
        options.faults.split_replies = true;
        break;
      case kFailEntry: {
        std::size_t colon = arg.find(':');
        int code = 0;
        if (colon == std::string::npos || !parse_int(arg.substr(0, colon).c_str(), 1, 1000000, k) ||
            !parse_int(arg.substr(colon + 1).c_str(), 0, 999, code)) {
          error = "bad --fail-entry (want K:CODE): " + arg;
          return ParseResult::kError;
        }
        options.faults.fail_entry[k] = code;
        break;
      }
      case kNulReply:
      case kLongReply:
        if (!parse_int(optarg, 1, 1000000, k)) {
          error = "bad entry number: " + arg;
          return ParseResult::kError;
        }
        (c == kNulReply ? options.faults.nul_reply : options.faults.long_reply).insert(k);
        break;
      case kDelayMs:
      case kCloseAfter:
      case kSilentAfter:
        if (!parse_int(optarg, 0, 3600000, k)) {
          error = "bad count: " + arg;
          return ParseResult::kError;
        }
        (c == kDelayMs      ? options.faults.delay_ms
         : c == kCloseAfter ? options.faults.close_after
                            : options.faults.silent_after) = k;
        break;
      case kHelp:
        return ParseResult::kHelp;
      default:
        error = std::string("unknown or incomplete option: ") +
                (optind > 0 && optind <= argc ? argv[optind - 1] : "?");
        return ParseResult::kError;
    }
  }
  if (optind < argc) {
    error = std::string("unexpected argument: ") + argv[optind];
    return ParseResult::kError;
  }
  if (options.listen.empty()) options.listen.push_back(0x7F000001u);
  return ParseResult::kRun;
}
