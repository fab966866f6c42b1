// Benchmark of the settings load: a settings text of 10,000 servers is
// enciphered once, then the cipher alone and the whole load (decipher, take
// out the start-up password, parse into a fresh server list) are timed. The
// save (build the text, encipher) is timed as well. Prints the median of
// several runs, the throughput and the ratio of parse time to cipher time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "servers/server_list.h"
#include "settings/settings_cipher.h"
#include "settings/settings_text.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string makeSettingsText(int servers) {
  std::string text;
  for (int n = 0; n < servers; ++n) {
    text += "10." + std::to_string(n / 65536) + "." + std::to_string(n / 256 % 256) + "." +
            std::to_string(n % 256);
    text += "|3389|Administrator|P@ssw0rd-" + std::to_string(n * 7919 % 100000);
    text += "|机房" + std::to_string(n % 40) + "号服务器\r\n";
  }
  text += "#onsole:1\r\n#admin:1\r\n#Start:1\r\n#LoadinPass:<开门>\r\n";
  return text;
}

// Median wall time of runs calls, in seconds.
double medianSeconds(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    const Clock::time_point begin = Clock::now();
    work();
    times.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void report(const char* what, double seconds, std::size_t bytes) {
  std::printf("%-34s %9.3f ms  %8.1f MB/s\n", what, seconds * 1e3,
              static_cast<double>(bytes) / seconds / 1e6);
}

}  // namespace

int main() {
  const int kServers = 10000;
  const int kRuns = 21;
  const std::string text = makeSettingsText(kServers);
  const std::string file = applySettingsCipher(text, SettingsKey);
  std::printf("settings text: %d servers, %zu bytes; median of %d runs\n", kServers, text.size(),
              kRuns);

  std::size_t sink = 0;
  const double cipher = medianSeconds(kRuns, [&] {
    sink += applySettingsCipher(file, SettingsKey).size();
  });

  std::int32_t loadedCount = 0;
  std::string loadedPassword;
  LaunchOptions loadedOptions;
  const double load = medianSeconds(kRuns, [&] {
    ServerList list;
    LaunchOptions options;
    const std::string bytes = applySettingsCipher(file, SettingsKey);
    loadedPassword = startupPasswordFrom(bytes);
    applySettingsText(bytes, list, options);
    loadedCount = list.entryCount();
    loadedOptions = options;
  });

  // The same parse on already deciphered bytes, for a direct comparison, and
  // its two steps on their own.
  const double parse = medianSeconds(kRuns, [&] {
    ServerList list;
    LaunchOptions options;
    sink += startupPasswordFrom(text).size();
    applySettingsText(text, list, options);
    sink += static_cast<std::size_t>(list.entryCount());
  });
  const double password = medianSeconds(kRuns, [&] { sink += startupPasswordFrom(text).size(); });
  const double servers = medianSeconds(kRuns, [&] {
    ServerList list;
    LaunchOptions options;
    applySettingsText(text, list, options);
    sink += static_cast<std::size_t>(list.entryCount());
  });

  ServerList saved;
  LaunchOptions savedOptions;
  applySettingsText(text, saved, savedOptions);
  std::string written;
  const double save = medianSeconds(kRuns, [&] {
    written = applySettingsCipher(buildSettingsText(saved, savedOptions, "开门"), SettingsKey);
  });

  if (loadedCount != kServers || loadedPassword != "开门" || !loadedOptions.console ||
      written != file) {
    std::fprintf(stderr, "the load did not give back the settings (%d servers)\n", loadedCount);
    return 1;
  }

  report("cipher alone", cipher, file.size());
  report("whole load (cipher + parse)", load, file.size());
  report("parse alone (password + servers)", parse, text.size());
  report("  startupPasswordFrom", password, text.size());
  report("  applySettingsText", servers, text.size());
  report("save (build + cipher)", save, file.size());
  std::printf("parse / cipher: %.2f   load / cipher: %.2f   (checksum %zu)\n", parse / cipher,
              load / cipher, sink % 10);
  return 0;
}
