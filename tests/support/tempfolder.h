#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.

#include <string>
#include <vector>

namespace kyro::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Native() const { return native_; }   // "/tmp/kyro-XXXXXX" (no trailing "/")
    std::string Native(const std::string& name) const { return native_ + "/" + name; }
    // The DOS form through the active drive map, with a trailing "\" ("Z:\tmp\kyro-XXXXXX\").
    std::string Dos() const;

    void Write(const std::string& name, const std::string& bytes) const;  // creates parent folders
    std::string Read(const std::string& name) const;                      // "" when missing
    bool Exists(const std::string& name) const;
    std::string MakeFolder(const std::string& name) const;            // returns its native path
    std::vector<std::string> Entries(const std::string& name) const;  // names inside a folder, sorted

private:
    std::string native_;
};

}  // namespace kyro::test
