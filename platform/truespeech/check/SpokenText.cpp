#include "platform/truespeech/check/SpokenText.h"

#include <unistd.h>

#include <cstdio>
#include <cctype>
#include <cstdlib>

namespace kestrel::truespeech {

std::vector<int16_t> speak(const std::string& text, const std::string& voice) {
  std::vector<int16_t> samples;
  // The text goes through a file so that no shell ever reads it; sox runs
  // without dither so that a text always gives the same samples.
  char path[] = "/tmp/kestrel-speech-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return samples;
  bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  for (char c : voice) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '+') written = false;
  }
  if (written) {
    const std::string command = "espeak-ng -v " + voice + " -s 150 -f " + path +
                                " --stdout 2>/dev/null | sox -D -t wav - -t raw -r 8000 -c 1 -b 16 -e signed-integer -L - "
                                "2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      int16_t buffer[4096];
      size_t n;
      while ((n = fread(buffer, sizeof(int16_t), 4096, pipe)) > 0) samples.insert(samples.end(), buffer, buffer + n);
      if (pclose(pipe) != 0) samples.clear();
    }
  }
  unlink(path);
  return samples;
}

}  // namespace kestrel::truespeech
