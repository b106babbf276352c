#include "tests/fuzz/memory_folder.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>

namespace sw::fuzz {
namespace {

MemoryFolder* g_folder = nullptr;

// An open file: the bytes it reads, or the name it writes to.
struct OpenFile {
  std::string bytes;
  std::size_t at = 0;
  std::string writes_to;  // a temporary file's name
};
// The pass reads on more than one thread: opening and finding an open file take the lock, and
// a deque keeps every open file where it is while others are added.
std::mutex g_lock;
std::deque<OpenFile> g_open;
std::map<std::string, std::string> g_temporaries;

constexpr fs::Handle kFolderHandle = 1;

bool refuse(fs::SysError* err) {
  if (err != nullptr) *err = {2, "no such file"};
  return false;
}

fs::Handle open_bytes(std::string bytes) {
  const std::lock_guard<std::mutex> lock(g_lock);
  g_open.push_back({std::move(bytes), 0, {}});
  return static_cast<fs::Handle>(g_open.size());
}

OpenFile& file(fs::Handle h) {
  const std::lock_guard<std::mutex> lock(g_lock);
  return g_open.at(static_cast<std::size_t>(h) - 1);
}

const std::string* find(const std::string& name) {
  for (const auto& [n, content] : g_folder->files)
    if (n == name) return &content;
  const auto own = g_folder->own.find(name);
  return own == g_folder->own.end() ? nullptr : &own->second;
}

constexpr fs::Ops kMemoryOps = {
    .current_directory =
        [](std::string* out, fs::SysError*) {
          *out = "mem";
          return true;
        },
    .open_folder =
        [](const std::string& path, fs::Handle* out, fs::SysError* err) {
          if (path != MemoryFolder::kPath) return refuse(err);
          *out = kFolderHandle;
          return true;
        },
    .close_folder = [](fs::Handle) {},
    .open_subfolder =
        [](fs::Handle, const std::string&, const std::string&, fs::Handle*, fs::SysError* err) {
          return refuse(err);  // the folder has no subfolders
        },
    .identity =
        [](fs::Handle, const std::string& name, fs::FileId* out, fs::SysError* err) {
          if (!name.empty() && find(name) == nullptr) return refuse(err);
          *out = {1, std::hash<std::string>{}(name)};
          return true;
        },
    .list_folder =
        [](fs::Handle, bool sizes, fs::DirEntries* out, fs::SysError*) {
          for (const auto& [name, content] : g_folder->files)
            out->push_back(
                {name, {}, fs::EntryKind::kFile, false, sizes ? content.size() : fs::kUnknownSize});
          return true;
        },
    .own_file =
        [](fs::Handle, const std::string& name) {
          return g_folder->own.contains(name) ? fs::OwnFile::kPlain : fs::OwnFile::kAbsent;
        },
    .tells_case_apart = [](fs::Handle) { return true; },
    .file_size =
        [](fs::Handle, const std::string& name, std::uint64_t* size, fs::SysError* err) {
          const std::string* content = find(name);
          if (content == nullptr) return refuse(err);
          *size = content->size();
          return true;
        },
    .find_first_size =
        [](const char* path, std::uint64_t* size) {
          const std::string* content = find(path);
          if (content != nullptr) *size = content->size();
          return content != nullptr;
        },
    .open_read =
        [](fs::Handle, const std::string& name, fs::FileFacts* facts, fs::Handle* out,
           fs::SysError* err) {
          const std::string* content = find(name);
          if (content == nullptr) return refuse(err);
          if (facts->size == fs::kUnknownSize) *facts = {content->size(), 0, 0};
          *out = open_bytes(*content);
          return true;
        },
    .open_own_read =
        [](fs::Handle, const std::string& name, fs::Handle* out, fs::SysError* err) {
          const auto own = g_folder->own.find(name);
          if (own == g_folder->own.end()) return refuse(err);
          *out = open_bytes(own->second);
          return true;
        },
    .look =
        [](fs::Handle h, fs::FileLook* out, fs::SysError*) {
          // Every file of the folder was made at the same time, and kept.
          *out = {file(h).bytes.size(), {0, 0}, true};
          return true;
        },
    .stamps_by_clock = [](fs::Handle) { return false; },
    .read =
        [](fs::Handle h, void* buffer, std::size_t size, std::size_t* got, fs::SysError*) {
          OpenFile& f = file(h);
          *got = std::min(size, f.bytes.size() - f.at);
          std::memcpy(buffer, f.bytes.data() + f.at, *got);
          f.at += *got;
          return true;
        },
    .close = [](fs::Handle) {},
    .open_update =
        [](fs::Handle, const std::string& name, fs::Handle* out, bool* writable, fs::SysError*) {
          *out = open_bytes(g_folder->own[name]);
          file(*out).writes_to = name;
          *writable = true;
          return true;
        },
    .write_at =
        [](fs::Handle h, std::uint64_t offset, const void* data, std::size_t size, fs::SysError*) {
          std::string& target = g_folder->own[file(h).writes_to];
          if (target.size() < offset + size) target.resize(offset + size);
          std::memcpy(target.data() + offset, data, size);
          return true;
        },
    .folder_is_read_only = [](fs::Handle) { return false; },
    .inspect_target =
        [](fs::Handle, const std::string&, fs::ReplaceTarget* out, fs::SysError*) {
          *out = fs::ReplaceTarget{};
          return true;
        },
    .create_new =
        [](fs::Handle, const std::string& name, std::uint32_t, fs::Handle* out, fs::SysError*) {
          if (g_temporaries.contains(name)) return fs::Created::kExists;
          *out = open_bytes({});
          file(*out).writes_to = name;
          g_temporaries[name].clear();
          return fs::Created::kCreated;
        },
    .write =
        [](fs::Handle h, const void* data, std::size_t size, fs::SysError*) {
          g_temporaries[file(h).writes_to].append(static_cast<const char*>(data), size);
          return true;
        },
    .flush = [](fs::Handle, fs::SysError*) { return true; },
    .replace =
        [](fs::Handle, const std::string& from, const std::string& to, fs::SysError*) {
          g_folder->own[to] = std::move(g_temporaries[from]);
          g_temporaries.erase(from);
          return true;
        },
    .flush_folder = [](fs::Handle, fs::SysError*) { return true; },
    .flush_volume = [](fs::Handle, fs::SysError*) { return fs::Flushed::kDone; },
    .move_over =
        [](fs::Handle, const std::string& from, const std::string& to, fs::SysError*) {
          g_folder->own[to] = std::move(g_temporaries[from]);
          g_temporaries.erase(from);
          return true;
        },
    .remove = [](fs::Handle, const std::string& name) { return g_temporaries.erase(name) > 0; },
    .remove_unheld = [](fs::Handle, const std::string&) { return false; },
    .resolve_output = [](const std::string&, fs::OutputTarget*,
                         fs::SysError* err) { return refuse(err); },
    .open_stream = [](const std::string&, fs::Handle*, fs::SysError* err) { return refuse(err); },
    // No threads: the folder's maps are the fuzzer's own, and every read is on its thread.
    .start_thread = [](const fs::ThreadStart*, std::size_t, fs::ThreadHandle*,
                       fs::SysError* err) { return refuse(err); },
    .join_thread = [](fs::ThreadHandle) {},
    .map_pages = [](std::size_t size,
                    bool huge) { return fs::platform_ops().map_pages(size, huge); },
    .unmap_pages = [](void* block, std::size_t size,
                      bool huge) { fs::platform_ops().unmap_pages(block, size, huge); },
};

}  // namespace

void use(MemoryFolder& folder) {
  g_folder = &folder;
  g_open.clear();
  g_temporaries.clear();
  fs::ops() = kMemoryOps;
}

}  // namespace sw::fuzz
