#include "bench/truespeech/WordErrorRate.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kestrel::bench {

std::vector<std::string> wordsOf(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text + " ") {
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '\'') {
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

std::optional<std::vector<std::string>> recognise(const std::vector<int16_t>& pcm) {
  char raw[] = "/tmp/kestrel-wer-XXXXXX";
  const int fd = mkstemp(raw);
  if (fd < 0) return std::nullopt;
  const bool written = write(fd, pcm.data(), pcm.size() * sizeof(int16_t)) ==
                       static_cast<ssize_t>(pcm.size() * sizeof(int16_t));
  close(fd);
  const std::string wav = std::string(raw) + ".wav";
  std::optional<std::vector<std::string>> words;
  const std::string convert = "sox -D -t raw -r 8000 -e signed-integer -b 16 -c 1 -L " + std::string(raw) +
                              " -r 16000 " + wav + " 2>/dev/null";
  if (written && std::system(convert.c_str()) == 0) {
    // Without dither, a recording is always heard the same way.
    const std::string command = "pocketsphinx_continuous -infile " + wav + " -dither no -logfn /dev/null 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      std::string text;
      char buffer[4096];
      size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
      if (pclose(pipe) == 0) words = wordsOf(text);
    }
  }
  unlink(raw);
  unlink(wav.c_str());
  return words;
}

double wordErrorRate(const std::vector<std::string>& reference, const std::vector<std::string>& hypothesis) {
  std::vector<size_t> previous(hypothesis.size() + 1);
  std::vector<size_t> current(hypothesis.size() + 1);
  for (size_t j = 0; j <= hypothesis.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= reference.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= hypothesis.size(); ++j) {
      const size_t substitution = previous[j - 1] + (reference[i - 1] == hypothesis[j - 1] ? 0 : 1);
      current[j] = std::min({substitution, previous[j] + 1, current[j - 1] + 1});
    }
    std::swap(previous, current);
  }
  return reference.empty() ? 0.0 : double(previous[hypothesis.size()]) / double(reference.size());
}

}  // namespace kestrel::bench
