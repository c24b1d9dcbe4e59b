#pragma once
// Reads a text file line by line, in lines of any length.
//
// A line keeps at most `maxBytes` bytes (cut without leaving a lone CP932 lead byte), but the rest
// of it up to its LF is consumed too, so that an over-long line is still exactly one line and
// never shifts the lines after it. One CR before the LF (or at the very end of the file) is a line
// end, not data.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kyro {

class LineReader {
public:
    // Opens the file (DOS path); a file that cannot be opened reads as having no lines.
    LineReader(const std::string& dosPath, std::size_t maxBytes);

    bool IsOpen() const { return file_ != nullptr; }
    std::optional<std::string> Next();  // nothing once the file has ended

private:
    bool Fill();

    std::unique_ptr<FILE, int (*)(FILE*)> file_;
    std::size_t maxBytes_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    bool eof_ = false;
};

}  // namespace kyro
