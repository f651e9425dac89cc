// Laying out an archive: the inputs as a tree of folders, numbered breadth
// first so that every folder comes after its parent; each folder's entries
// in a row of the file table; members packed when that shrinks them; header
// and tables scrambled last.
#include "archive_writer.h"

#include "file/archive_format.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <memory>

namespace {

// Bytes of the Shift-JIS character at text: 2 for a lead byte with a byte
// after it, else 1 (0 at the end). The writer runs at build time, apart from
// the library, so it keeps this rule itself.
int CharacterBytes(const char* text) {
    const auto b = static_cast<unsigned char>(text[0]);
    if (b == 0) return 0;
    const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return lead && text[1] != '\0' ? 2 : 1;
}

struct Node {
    std::string name;
    const ArchiveInput* input = nullptr;  // null for a folder
    std::map<std::string, std::unique_ptr<Node>> children;  // by name in lower case
};

std::string Folded(const std::string& name) {
    std::string folded = name;
    for (size_t i = 0; i < folded.size(); i += CharacterBytes(folded.c_str() + i))
        if (CharacterBytes(folded.c_str() + i) == 1)
            folded[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(folded[i])));
    return folded;
}

std::vector<std::string> Elements(const std::string& path) {
    std::vector<std::string> elements(1);
    for (size_t i = 0; i < path.size();) {
        const int bytes = CharacterBytes(path.c_str() + i);
        if (bytes == 1 && (path[i] == '\\' || path[i] == '/')) {
            if (!elements.back().empty()) elements.emplace_back();
        } else {
            elements.back().append(path, i, bytes);
        }
        i += bytes;
    }
    if (elements.back().empty()) elements.pop_back();
    return elements;
}

bool AddInput(Node* root, const ArchiveInput& input, std::string* error) {
    const std::vector<std::string> elements = Elements(input.path);
    if (elements.empty()) return *error = "a file has no name", false;
    size_t length = elements.size() - 1;  // the separators
    for (const std::string& element : elements) length += element.size();
    if (length > kArchiveMaxPath) return *error = "a path of 260 bytes or more: " + input.path, false;
    Node* node = root;
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i] == "." || elements[i] == "..") return *error = "a path holds . or ..: " + input.path, false;
        auto& child = node->children[Folded(elements[i])];
        const bool last = i + 1 == elements.size();
        if (child && (last || child->input != nullptr)) return *error = "two files at " + input.path, false;
        if (!child) {
            child = std::make_unique<Node>();
            child->name = elements[i];
        }
        if (last) child->input = &input;
        node = child.get();
    }
    return true;
}

void AddMember(ArchiveLayout* out, ArchiveFileEntry* entry, const ArchiveInput& input, bool pack) {
    const auto size = static_cast<uint32_t>(input.bytes.size());
    std::vector<uint8_t> packed;
    if (pack && size > kPackedHeadSize) packed = PackData(input.bytes.data(), size);
    const bool usePacked = !packed.empty() && packed.size() < size;
    const std::vector<uint8_t>& stored = usePacked ? packed : input.bytes;
    *entry = ArchiveFileEntry{entry->nameOffset, usePacked ? kArchiveEntryPacked : 0u,
                              static_cast<uint32_t>(out->data.size()), size, static_cast<uint32_t>(stored.size())};
    out->data.insert(out->data.end(), stored.begin(), stored.end());
}

void LayOut(const Node& root, bool pack, ArchiveLayout* out) {
    std::deque<const Node*> queue{&root};
    out->dirs.push_back(ArchiveDirEntry{kArchiveNoEntry, kArchiveNoEntry, 0, 0});
    for (uint32_t d = 0; !queue.empty(); ++d, queue.pop_front()) {
        out->dirs[d].firstChild = static_cast<uint32_t>(out->files.size());
        out->dirs[d].childCount = static_cast<uint32_t>(queue.front()->children.size());
        for (const auto& [folded, child] : queue.front()->children) {
            ArchiveFileEntry entry{static_cast<uint32_t>(out->names.size()), 0, 0, 0, 0};
            out->names.insert(out->names.end(), child->name.begin(), child->name.end());
            out->names.push_back(0);
            if (child->input != nullptr) {
                AddMember(out, &entry, *child->input, pack);
            } else {
                entry = ArchiveFileEntry{entry.nameOffset, kArchiveEntryDirectory,
                                         static_cast<uint32_t>(out->dirs.size()), 0, 0};
                out->dirs.push_back(ArchiveDirEntry{static_cast<uint32_t>(out->files.size()), d, 0, 0});
                queue.push_back(child.get());
            }
            out->files.push_back(entry);
        }
    }
}

std::vector<uint8_t> Tables(const ArchiveLayout& layout) {
    std::vector<uint8_t> tables(layout.files.size() * kArchiveFileEntrySize + layout.dirs.size() * kArchiveDirEntrySize);
    uint8_t* p = tables.data();
    for (const ArchiveFileEntry& e : layout.files) WriteArchiveFileEntry(e, p), p += kArchiveFileEntrySize;
    for (const ArchiveDirEntry& e : layout.dirs) WriteArchiveDirEntry(e, p), p += kArchiveDirEntrySize;
    tables.insert(tables.end(), layout.names.begin(), layout.names.end());
    return tables;
}

}  // namespace

bool WriteArchiveImage(const ArchiveLayout& layout, const char* key, std::vector<uint8_t>* archive,
                       std::string* error) {
    std::vector<uint8_t> tables = Tables(layout);
    const uint64_t dataStart = (kArchiveTablesOffset + tables.size() + 7) / 8 * 8;
    if (dataStart + layout.data.size() > 0xFFFFFFFFull) return *error = "the archive would pass 4 GiB", false;
    ArchiveHeader h{kArchiveHeaderMagic,
                    kArchiveVersion,
                    static_cast<uint32_t>(layout.files.size()),
                    static_cast<uint32_t>(layout.dirs.size()),
                    static_cast<uint32_t>(layout.names.size()),
                    static_cast<uint32_t>(dataStart),
                    static_cast<uint32_t>(layout.data.size()),
                    0,
                    ArchiveChecksum(tables.data(), tables.size()),
                    0};
    archive->assign(dataStart, 0);
    std::copy(kArchiveSignature, kArchiveSignature + 4, archive->begin());
    uint8_t* header = archive->data() + kArchiveHeaderOffset;
    WriteArchiveHeader(h, header);
    WriteLE32(header + kArchiveHeaderSize - 4, ArchiveChecksum(header, kArchiveHeaderSize - 4));
    std::copy(tables.begin(), tables.end(), archive->begin() + kArchiveTablesOffset);
    ScrambleArchiveBytes(header, kArchiveHeaderSize + tables.size(), ArchiveKeySeed(key), kArchiveHeaderOffset);
    archive->insert(archive->end(), layout.data.begin(), layout.data.end());
    return true;
}

bool BuildArchive(const std::vector<ArchiveInput>& inputs, const ArchiveOptions& options,
                  std::vector<uint8_t>* archive, std::string* error) {
    Node root;
    for (const ArchiveInput& input : inputs)
        if (!AddInput(&root, input, error)) return false;
    ArchiveLayout layout;
    LayOut(root, options.pack, &layout);
    return WriteArchiveImage(layout, options.key, archive, error);
}
