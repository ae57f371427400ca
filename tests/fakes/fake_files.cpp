#include "fakes/fake_files.h"

#include <cctype>

#include "fakes/fake_util.h"

namespace kx::fakes {

namespace {

bool IsDriveSpec(const std::string& s) {
  return s.size() == 2 && s[1] == ':' && std::isalpha(static_cast<unsigned char>(s[0]));
}

// Windows drops trailing dots and blanks from each name: "a.txt." and "a.txt " are "a.txt".
std::string Canonical(std::string part) {
  if (part == "." || part == "..") return part;
  size_t end = part.find_last_not_of(". ");
  if (end != std::string::npos) part.resize(end + 1);
  return part;
}

std::vector<std::string> Parts(const std::string& path) {
  auto parts = SplitPath(path);
  for (auto& p : parts) p = Canonical(p);
  return parts;
}

std::string FolderOf(const std::vector<std::string>& parts) {
  std::string folder;
  for (size_t i = 0; i + 1 < parts.size(); ++i) folder += parts[i] + "\\";
  return folder;
}

constexpr IoStatus kBadName{ERR_INVALID_NAME};  // a name with wildcards
constexpr IoStatus kDenied{ERR_ACCESS_DENIED};
constexpr IoStatus kInUse{ERR_SHARING_VIOLATION};

void Keep(IoStatus& first, IoStatus next) {
  if (first.ok()) first = next;
}

}  // namespace

FakeFileSystem::Node* FakeFileSystem::Lookup(const std::string& path) {
  if (HasWildcards(path)) return nullptr;
  auto parts = Parts(path);
  if (parts.empty() || !IsDriveSpec(parts[0])) return nullptr;
  auto d = drives_.find(Upper(parts[0]));
  if (d == drives_.end()) return nullptr;
  Node* n = d->second.get();
  for (size_t i = 1; i < parts.size(); ++i) {
    // A path through a folder link goes on at its target; the link itself is the last part.
    for (int hops = 0; !n->linkTarget.empty(); ++hops) {
      if (hops == 32) return nullptr;  // a loop of links, as Windows gives up on one
      n = Lookup(n->linkTarget);
      if (!n) return nullptr;
    }
    if (!n->IsDir()) return nullptr;
    auto it = n->children.find(Upper(parts[i]));
    if (it == n->children.end()) return nullptr;
    n = it->second.get();
  }
  return n;
}

FakeFileSystem::Node* FakeFileSystem::Parent(const std::string& path, std::string& leaf) {
  auto parts = Parts(path);
  if (parts.size() < 2) return nullptr;
  leaf = parts.back();
  Node* p = Lookup(FolderOf(parts));
  return p && p->IsDir() ? p : nullptr;
}

IoStatus FakeFileSystem::Missing(const std::string& path) {
  if (HasWildcards(path)) return kBadName;
  std::string leaf;
  return IoStatus{Parent(path, leaf) ? ERR_FILE_NOT_FOUND : ERR_PATH_NOT_FOUND};
}

FakeFileSystem::Node* FakeFileSystem::MakeFolders(const std::vector<std::string>& parts, size_t count) {
  auto& root = drives_[Upper(parts[0])];
  if (!root) {
    root = std::make_unique<Node>();
    root->name = Upper(parts[0]);
    root->attrs = FA_DIRECTORY;
  }
  Node* n = root.get();
  for (size_t i = 1; i < count; ++i) {
    auto& slot = n->children[Upper(parts[i])];
    if (!slot) {
      slot = std::make_unique<Node>();
      slot->name = parts[i];
      slot->attrs = FA_DIRECTORY;
    }
    n = slot.get();
  }
  return n;
}

FileEntry FakeFileSystem::EntryOf(const Node& n) {
  FileEntry e;
  e.name = n.name;
  e.attributes = n.attrs ? n.attrs : FA_NORMAL;
  e.size = n.IsDir() ? 0 : n.bytes.size();
  e.lastWrite = n.lastWrite;
  return e;
}

std::vector<FileEntry> FakeFileSystem::Find(const std::string& pattern) {
  std::vector<FileEntry> out;
  if (!pattern.empty() && (pattern.back() == '\\' || pattern.back() == '/')) return out;
  auto parts = SplitPath(pattern);
  if (parts.size() < 2) return out;
  // A pattern keeps its dots ("*." means names without one); a plain name loses them.
  std::string leaf = parts.back();
  if (!HasWildcards(leaf)) leaf = Canonical(leaf);
  Node* dir = Lookup(FolderOf(parts));
  if (!dir || !dir->IsDir()) return out;
  if (!HasWildcards(leaf)) {
    auto it = dir->children.find(Upper(leaf));
    if (it != dir->children.end()) out.push_back(EntryOf(*it->second));
    return out;
  }
  for (const auto& [key, child] : dir->children)
    if (WildcardMatch(leaf, child->name)) out.push_back(EntryOf(*child));
  return out;
}

std::vector<std::string> FakeFileSystem::ListPlainFiles(const std::string& pattern) {
  std::string p = pattern;
  // A folder path ending in "\" lists the folder, as the classic Dir() does.
  if (!p.empty() && (p.back() == '\\' || p.back() == '/')) p += "*.*";
  std::vector<std::string> names;
  for (const auto& e : Find(p))
    if (!(e.attributes & (FA_HIDDEN | FA_SYSTEM | FA_DIRECTORY))) names.push_back(e.name);
  return names;
}

std::optional<uint32_t> FakeFileSystem::Attributes(const std::string& path) {
  Node* n = Lookup(path);
  if (!n) return std::nullopt;
  return n->attrs ? n->attrs : FA_NORMAL;
}

IoStatus FakeFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  Node* n = Lookup(path);
  if (!n) return Missing(path);
  uint32_t keep = n->attrs & FA_DIRECTORY;
  uint32_t settable = FA_READONLY | FA_HIDDEN | FA_SYSTEM | FA_ARCHIVE;
  n->attrs = keep | (attributes & settable);
  return {};
}

bool FakeFileSystem::FolderExists(const std::string& path) {
  Node* n = Lookup(path);
  return n && n->IsDir();
}

IoStatus FakeFileSystem::CreateFolder(const std::string& path) {
  if (HasWildcards(path)) return kBadName;
  if (Node* n = Lookup(path)) return n->IsDir() ? IoStatus{} : IoStatus{ERR_ALREADY_EXISTS};
  std::string leaf;
  Node* parent = Parent(path, leaf);
  if (!parent) return IoStatus{ERR_PATH_NOT_FOUND};
  auto node = std::make_unique<Node>();
  node->name = leaf;
  node->attrs = FA_DIRECTORY;
  parent->children[Upper(leaf)] = std::move(node);
  return {};
}

IoStatus FakeFileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (HasWildcards(from) || HasWildcards(to)) return kBadName;
  Node* src = Lookup(from);
  if (!src) return Missing(from);
  if (src->IsDir()) return kDenied;
  std::string leaf;
  Node* parent = Parent(to, leaf);
  if (!parent) return IoStatus{ERR_PATH_NOT_FOUND};
  if (writeFailure) return IoStatus{writeFailure};
  if (Node* dst = Lookup(to)) {
    if (failIfExists) return IoStatus{ERR_FILE_EXISTS};
    if (dst == src) return kInUse;  // the source is open for reading
    if (dst->IsDir() || (dst->attrs & (FA_READONLY | FA_HIDDEN))) return kDenied;
    if (dst->inUse) return kInUse;
    dst->bytes = src->bytes;
    dst->attrs = src->attrs;
    dst->lastWrite = src->lastWrite;
    return {};
  }
  auto copy = Clone(*src);
  copy->name = leaf;
  parent->children[Upper(leaf)] = std::move(copy);
  return {};
}

IoStatus FakeFileSystem::DeleteFile(const std::string& path) {
  std::string leaf;
  Node* parent = Parent(path, leaf);
  Node* n = Lookup(path);
  if (!parent || !n) return Missing(path);
  if (n->IsDir() || (n->attrs & FA_READONLY)) return kDenied;
  if (n->inUse) return kInUse;
  parent->children.erase(Upper(leaf));
  return {};
}

IoStatus FakeFileSystem::MoveFile(const std::string& from, const std::string& to, bool replaceExisting) {
  if (HasWildcards(from) || HasWildcards(to)) return kBadName;
  std::string fromLeaf, toLeaf;
  Node* fromParent = Parent(from, fromLeaf);
  Node* src = Lookup(from);
  if (!fromParent || !src) return Missing(from);
  Node* toParent = Parent(to, toLeaf);
  if (!toParent) return IoStatus{ERR_PATH_NOT_FOUND};
  if (src->inUse) return kInUse;  // a rename needs the delete right the holder does not share
  if (src->IsDir()) {
    std::string t = Upper(to), f = Upper(from);
    if (t.rfind(f + "\\", 0) == 0) return IoStatus{ERR_INVALID_PARAMETER};  // into itself
  }
  Node* dst = Lookup(to);
  if (dst && dst != src) {
    if (!replaceExisting) return IoStatus{ERR_ALREADY_EXISTS};
    // Windows never renames over a read-only or open file, nor onto or from a folder.
    if (dst->IsDir() || src->IsDir() || (dst->attrs & FA_READONLY) || dst->inUse) return kDenied;
    toParent->children.erase(Upper(toLeaf));
  }
  auto node = std::move(fromParent->children[Upper(fromLeaf)]);
  fromParent->children.erase(Upper(fromLeaf));
  node->name = toLeaf;
  toParent->children[Upper(toLeaf)] = std::move(node);
  return {};
}

std::unique_ptr<FakeFileSystem::Node> FakeFileSystem::Clone(const Node& n) {
  auto c = std::make_unique<Node>();
  c->name = n.name;
  c->attrs = n.attrs;
  c->bytes = n.bytes;
  c->lastWrite = n.lastWrite;
  c->linkTarget = n.linkTarget;
  for (const auto& [k, child] : n.children) c->children[k] = Clone(*child);
  return c;
}

IoStatus FakeFileSystem::CopyInto(const Node& from, Node& to, bool overwrite) {
  IoStatus first;
  for (const auto& [key, child] : from.children) {
    auto it = to.children.find(key);
    if (!child->linkTarget.empty()) continue;  // a link is no content of the folder
    if (child->IsDir()) {
      if (it == to.children.end()) {
        auto folder = std::make_unique<Node>();
        folder->name = child->name;
        folder->attrs = child->attrs;
        it = to.children.emplace(key, std::move(folder)).first;
      } else if (!it->second->IsDir()) {
        Keep(first, IoStatus{ERR_ALREADY_EXISTS});
        continue;
      }
      Keep(first, CopyInto(*child, *it->second, overwrite));
    } else if (it == to.children.end()) {
      to.children.emplace(key, Clone(*child));
    } else if (it->second->attrs & FA_READONLY) {
      Keep(first, kDenied);
    } else if (!overwrite) {
      Keep(first, IoStatus{ERR_FILE_EXISTS});
    } else if (it->second->IsDir()) {
      Keep(first, kDenied);
    } else if (it->second->inUse) {
      Keep(first, kInUse);
    } else {
      it->second->bytes = child->bytes;
      it->second->attrs = child->attrs;
    }
  }
  return first;
}

IoStatus FakeFileSystem::CopyFolder(const std::string& from, const std::string& to, bool overwrite) {
  if (HasWildcards(from) || HasWildcards(to)) return kBadName;
  Node* src = Lookup(from);
  if (!src) return Missing(from);
  if (!src->IsDir()) return IoStatus{ERR_DIRECTORY};
  std::string f = Upper(from), t = Upper(to);
  while (!f.empty() && f.back() == '\\') f.pop_back();
  while (!t.empty() && t.back() == '\\') t.pop_back();
  if (t == f || t.rfind(f + "\\", 0) == 0) return IoStatus{ERR_INVALID_PARAMETER};  // into itself
  Node* dst = Lookup(to);
  if (!dst) {
    if (IoStatus made = CreateFolder(to); !made) return made;
    dst = Lookup(to);
  } else if (!dst->IsDir()) {
    return IoStatus{ERR_ALREADY_EXISTS};
  }
  return CopyInto(*src, *dst, overwrite);
}

IoStatus FakeFileSystem::DeleteTree(Node& folder, bool force) {
  IoStatus first;
  for (auto it = folder.children.begin(); it != folder.children.end();) {
    Node& child = *it->second;
    IoStatus why;  // ok: the child goes
    if (child.IsDir())
      why = DeleteTree(child, force);
    else if ((child.attrs & FA_READONLY) && !force)
      why = kDenied;
    else if (child.inUse)
      why = kInUse;
    if (why.ok()) {
      it = folder.children.erase(it);
    } else {
      Keep(first, why);
      ++it;
    }
  }
  return first;
}

IoStatus FakeFileSystem::DeleteFolder(const std::string& path, bool force) {
  if (HasWildcards(path)) return kBadName;
  if (Parts(path).size() < 2) return kDenied;  // never a drive root
  std::string leaf;
  Node* parent = Parent(path, leaf);
  Node* n = Lookup(path);
  if (!parent || !n) return Missing(path);
  if (!n->IsDir()) return IoStatus{ERR_DIRECTORY};
  if (IoStatus emptied = DeleteTree(*n, force); !emptied) return emptied;
  parent->children.erase(Upper(leaf));
  return {};
}

std::optional<std::string> FakeFileSystem::ReadFile(const std::string& path) {
  Node* n = Lookup(path);
  if (!n || n->IsDir()) return std::nullopt;
  return n->bytes;
}

IoStatus FakeFileSystem::Store(const std::string& path, const std::string& bytes, bool append) {
  if (HasWildcards(path)) return kBadName;
  if (writeFailure) return IoStatus{writeFailure};
  if (Node* n = Lookup(path)) {
    if (n->IsDir() || (n->attrs & FA_READONLY)) return kDenied;
    if (n->inUse) return kInUse;
    n->bytes = append ? n->bytes + bytes : bytes;
    n->lastWrite = Tick();
    return {};
  }
  std::string leaf;
  Node* parent = Parent(path, leaf);
  if (!parent) return IoStatus{ERR_PATH_NOT_FOUND};
  auto node = std::make_unique<Node>();
  node->name = leaf;
  node->attrs = FA_ARCHIVE;
  node->bytes = bytes;
  node->lastWrite = Tick();
  parent->children[Upper(leaf)] = std::move(node);
  return {};
}

IoStatus FakeFileSystem::WriteFile(const std::string& path, const std::string& bytes) {
  return Store(path, bytes, false);
}

IoStatus FakeFileSystem::AppendFile(const std::string& path, const std::string& bytes) {
  return Store(path, bytes, true);
}

void FakeFileSystem::AddFile(const std::string& path, const std::string& bytes, uint32_t attrs) {
  auto parts = Parts(path);
  if (parts.size() < 2 || !IsDriveSpec(parts[0])) return;
  Node* dir = MakeFolders(parts, parts.size() - 1);
  auto& slot = dir->children[Upper(parts.back())];
  slot = std::make_unique<Node>();
  slot->name = parts.back();
  slot->attrs = attrs & ~static_cast<uint32_t>(FA_DIRECTORY | FA_NORMAL);
  slot->bytes = bytes;
  slot->lastWrite = Tick();
}

void FakeFileSystem::AddFolder(const std::string& path, uint32_t attrs) {
  auto parts = Parts(path);
  if (parts.empty() || !IsDriveSpec(parts[0])) return;
  Node* n = MakeFolders(parts, parts.size());
  if (parts.size() > 1) n->attrs = (attrs | FA_DIRECTORY) & ~static_cast<uint32_t>(FA_NORMAL);
}

void FakeFileSystem::AddFolderLink(const std::string& path, const std::string& target) {
  AddFolder(path);
  if (Node* n = Lookup(path)) {
    n->attrs = FA_DIRECTORY | FA_REPARSE_POINT;
    n->children.clear();
    n->linkTarget = target;
  }
}

void FakeFileSystem::SetInUse(const std::string& path, bool inUse) {
  if (Node* n = Lookup(path)) n->inUse = inUse;
}

bool FakeFileSystem::Exists(const std::string& path) { return Lookup(path) != nullptr; }

}  // namespace kx::fakes
