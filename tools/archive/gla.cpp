// The archive packer:
//   gla pack FOLDER ARCHIVE [--key KEY] [--store] [--packed]   every file under FOLDER
//   gla list ARCHIVE [--key KEY] [--packed]                    size, stored size, path
//   gla extract ARCHIVE FOLDER [--key KEY] [--packed]          every member into FOLDER
// --packed: the whole archive is itself packed data, as an archive carried
// inside a program is. Archives are read with the library's own reader. Exit
// code 0 on success, 1 on a failure (with a line on stderr), 2 on a wrong
// command line.
#include "archive_writer.h"

#include "core/memory.h"
#include "file/archive.h"
#include "platform/kernel32/kernel32.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string command;
    std::vector<std::string> paths;
    const char* key = nullptr;
    bool store = false;
    bool packed = false;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: gla pack FOLDER ARCHIVE [--key KEY] [--store] [--packed]\n"
                 "       gla list ARCHIVE [--key KEY] [--packed]\n"
                 "       gla extract ARCHIVE FOLDER [--key KEY] [--packed]\n");
    return 2;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "gla: %s\n", text.c_str());
    return 1;
}

// Writes the file through a temporary one beside it, renamed into place once
// whole: a failed write leaves nothing at the path, nor a temporary file. The
// temporary name is short, so that it fits wherever the final name does.
bool WriteFile(const fs::path& path, const uint8_t* bytes, size_t size, std::string* reason) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = folder / (".gla-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp");
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt == 999)) {
            *reason = std::strerror(errno);
            return false;
        }
    }
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *reason = n < 0 ? std::strerror(errno) : "nothing written";
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
        *reason = std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

int Pack(const Options& o) {
    std::vector<ArchiveInput> inputs;
    std::vector<uint8_t> archive;
    std::string error;
    ArchiveOptions options;
    options.key = o.key;
    options.pack = !o.store;
    if (!ReadFolderInputs(o.paths[0], &inputs, &error) || !BuildArchive(inputs, options, &archive, &error))
        return Fail(error);
    if (o.packed) archive = PackData(archive.data(), static_cast<uint32_t>(archive.size()));
    std::string reason;
    if (!WriteFile(o.paths[1], archive.data(), archive.size(), &reason))
        return Fail("cannot write " + o.paths[1] + ": " + reason);
    std::printf("%zu files, %zu bytes\n", inputs.size(), archive.size());
    return 0;
}

// The packed data in bytes replaced by what it unpacks to.
bool Unpack(std::vector<uint8_t>* bytes) {
    const auto available = static_cast<uint32_t>(bytes->size());
    const int64_t size = DecompressPackedData(nullptr, bytes->data(), available);
    if (size < 0) return false;
    std::vector<uint8_t> plain(static_cast<size_t>(size));
    if (DecompressPackedData(plain.data(), bytes->data(), available) != size) return false;
    *bytes = std::move(plain);
    return true;
}

int ListOrExtract(const Options& o) {
    std::ifstream in(o.paths[0], std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return Fail("cannot read " + o.paths[0]);
    if (image.size() > 0xFFFFFFFFu) return Fail(o.paths[0] + " is too large");
    if (o.packed && !Unpack(&image)) return Fail(o.paths[0] + " is no packed data");
    ArchiveRecord record;
    ClearArchiveRecord(&record);
    // The reader refuses, with the reason on stderr, any archive holding a
    // member it could not look up: a list or extract covers every member.
    if (OpenArchiveFromMemory(&record, image.data(), static_cast<uint32_t>(image.size()), o.key) != 0)
        return Fail(o.paths[0] + " is no archive this key opens, or a damaged one");
    int failures = 0;
    ForEachArchiveMember(&record, [&](const char* path, const ArchiveMemberInfo& info) {
        if (o.command == "list") {
            std::printf("%10u %10u %s\n", info.size, info.storedSize, platform::ShiftJisToUtf8(path).c_str());
            return;
        }
        const fs::path target = fs::path(o.paths[1]) / platform::PathToNative(path);
        uint8_t* bytes = LoadArchiveMember(&record, info);
        std::error_code code;
        fs::create_directories(target.parent_path(), code);
        std::string reason = "cannot load the member";
        if (bytes == nullptr || !WriteFile(target, bytes, info.size, &reason)) {
            ++failures;
            Fail("cannot extract " + target.string() + ": " + reason);
        }
        FreeMemory(bytes);
    });
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--key") == 0 && i + 1 < argc) o.key = argv[++i];
        else if (std::strcmp(argv[i], "--store") == 0) o.store = true;
        else if (std::strcmp(argv[i], "--packed") == 0) o.packed = true;
        else if (o.command.empty()) o.command = argv[i];
        else o.paths.emplace_back(argv[i]);
    }
    if (o.command == "pack" && o.paths.size() == 2) return Pack(o);
    if (o.command == "list" && o.paths.size() == 1) return ListOrExtract(o);
    if (o.command == "extract" && o.paths.size() == 2) return ListOrExtract(o);
    return Usage();
}
