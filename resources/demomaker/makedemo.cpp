// Makes the demo program folder of resources/demo, or checks it.
//
// Usage: kyro_makedemo FOLDER          writes the demo into FOLDER, then checks it
//        kyro_makedemo --check FOLDER  checks that FOLDER holds exactly what this program writes
#include "democheck.h"
#include "demofolder.h"

#include <cstring>
#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    const bool checkOnly = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !checkOnly) {
        std::cerr << "usage: kyro_makedemo [--check] FOLDER\n";
        return 2;
    }
    const std::string folder = argv[argc - 1];
    try {
        const auto songs = kyro::demo::DemoSongs();
        if (!checkOnly && !kyro::demo::WriteDemoFolder(folder, songs)) return 1;
        const bool ok = kyro::demo::CheckDemoFolder(folder, songs);
        std::cout << (ok ? "demo folder is as the generator makes it\n" : "demo folder has faults\n");
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "kyro_makedemo: " << e.what() << "\n";
        return 1;
    }
}
