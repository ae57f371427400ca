#include "fakes/fake_files.h"

#include <cctype>

#include "fakes/fake_util.h"

namespace kx::fakes {

namespace {

bool IsDriveSpec(const std::string& s) {
  return s.size() == 2 && s[1] == ':' && std::isalpha(static_cast<unsigned char>(s[0]));
}

}  // namespace

FakeFileSystem::Node* FakeFileSystem::Lookup(const std::string& path) {
  if (HasWildcards(path)) return nullptr;
  auto parts = SplitPath(path);
  if (parts.empty() || !IsDriveSpec(parts[0])) return nullptr;
  auto d = drives_.find(Upper(parts[0]));
  if (d == drives_.end()) return nullptr;
  Node* n = d->second.get();
  for (size_t i = 1; i < parts.size(); ++i) {
    if (!n->IsDir()) return nullptr;
    auto it = n->children.find(Upper(parts[i]));
    if (it == n->children.end()) return nullptr;
    n = it->second.get();
  }
  return n;
}

FakeFileSystem::Node* FakeFileSystem::Parent(const std::string& path, std::string& leaf) {
  auto parts = SplitPath(path);
  if (parts.size() < 2) return nullptr;
  leaf = parts.back();
  std::string folder;
  for (size_t i = 0; i + 1 < parts.size(); ++i) folder += parts[i] + "\\";
  Node* p = Lookup(folder);
  return p && p->IsDir() ? p : nullptr;
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
  return e;
}

std::vector<FileEntry> FakeFileSystem::Find(const std::string& pattern) {
  std::vector<FileEntry> out;
  if (!pattern.empty() && (pattern.back() == '\\' || pattern.back() == '/')) return out;
  auto parts = SplitPath(pattern);
  if (parts.size() < 2) return out;
  std::string leaf = parts.back();
  std::string folder;
  for (size_t i = 0; i + 1 < parts.size(); ++i) folder += parts[i] + "\\";
  Node* dir = Lookup(folder);
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

bool FakeFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  Node* n = Lookup(path);
  if (!n) return false;
  uint32_t keep = n->attrs & FA_DIRECTORY;
  uint32_t settable = FA_READONLY | FA_HIDDEN | FA_SYSTEM | FA_ARCHIVE;
  n->attrs = keep | (attributes & settable);
  return true;
}

bool FakeFileSystem::FolderExists(const std::string& path) {
  Node* n = Lookup(path);
  return n && n->IsDir();
}

bool FakeFileSystem::CreateFolder(const std::string& path) {
  if (Node* n = Lookup(path)) return n->IsDir();
  std::string leaf;
  Node* parent = Parent(path, leaf);
  if (!parent || HasWildcards(leaf)) return false;
  auto node = std::make_unique<Node>();
  node->name = leaf;
  node->attrs = FA_DIRECTORY;
  parent->children[Upper(leaf)] = std::move(node);
  return true;
}

bool FakeFileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  Node* src = Lookup(from);
  if (!src || src->IsDir() || src->inUse) return false;
  std::string leaf;
  Node* parent = Parent(to, leaf);
  if (!parent || HasWildcards(leaf)) return false;
  if (Node* dst = Lookup(to)) {
    if (dst == src || failIfExists || dst->IsDir() || dst->inUse) return false;
    if (dst->attrs & (FA_READONLY | FA_HIDDEN)) return false;  // Windows refuses these targets
    dst->bytes = src->bytes;
    dst->attrs = src->attrs;
    return true;
  }
  auto copy = Clone(*src);
  copy->name = leaf;
  copy->inUse = false;
  parent->children[Upper(leaf)] = std::move(copy);
  return true;
}

bool FakeFileSystem::DeleteFile(const std::string& path) {
  std::string leaf;
  Node* parent = Parent(path, leaf);
  Node* n = Lookup(path);
  if (!parent || !n || n->IsDir() || n->inUse || (n->attrs & FA_READONLY)) return false;
  parent->children.erase(Upper(leaf));
  return true;
}

bool FakeFileSystem::MoveFile(const std::string& from, const std::string& to) {
  std::string fromLeaf, toLeaf;
  Node* fromParent = Parent(from, fromLeaf);
  Node* src = Lookup(from);
  Node* toParent = Parent(to, toLeaf);
  if (!fromParent || !src || src->inUse || !toParent || HasWildcards(toLeaf)) return false;
  if (Lookup(to)) return false;
  if (src->IsDir()) {  // a folder cannot move into itself
    std::string t = Upper(to), f = Upper(from);
    if (t.rfind(f + "\\", 0) == 0) return false;
  }
  auto node = std::move(fromParent->children[Upper(fromLeaf)]);
  fromParent->children.erase(Upper(fromLeaf));
  node->name = toLeaf;
  toParent->children[Upper(toLeaf)] = std::move(node);
  return true;
}

std::unique_ptr<FakeFileSystem::Node> FakeFileSystem::Clone(const Node& n) {
  auto c = std::make_unique<Node>();
  c->name = n.name;
  c->attrs = n.attrs;
  c->bytes = n.bytes;
  for (const auto& [k, child] : n.children) c->children[k] = Clone(*child);
  return c;
}

bool FakeFileSystem::CopyInto(const Node& from, Node& to, bool overwrite) {
  bool ok = true;
  for (const auto& [key, child] : from.children) {
    auto it = to.children.find(key);
    if (child->IsDir()) {
      if (it == to.children.end()) {
        auto folder = std::make_unique<Node>();
        folder->name = child->name;
        folder->attrs = child->attrs;
        it = to.children.emplace(key, std::move(folder)).first;
      } else if (!it->second->IsDir()) {
        ok = false;
        continue;
      }
      ok = CopyInto(*child, *it->second, overwrite) && ok;
    } else if (child->inUse) {
      ok = false;
    } else if (it == to.children.end()) {
      auto copy = Clone(*child);
      to.children.emplace(key, std::move(copy));
    } else if (!overwrite || it->second->IsDir() || it->second->inUse ||
               (it->second->attrs & FA_READONLY)) {
      ok = false;
    } else {
      it->second->bytes = child->bytes;
      it->second->attrs = child->attrs;
    }
  }
  return ok;
}

bool FakeFileSystem::CopyFolder(const std::string& from, const std::string& to, bool overwrite) {
  Node* src = Lookup(from);
  if (!src || !src->IsDir()) return false;
  std::string f = Upper(from), t = Upper(to);
  while (!f.empty() && f.back() == '\\') f.pop_back();
  while (!t.empty() && t.back() == '\\') t.pop_back();
  if (t == f || t.rfind(f + "\\", 0) == 0) return false;  // into itself
  Node* dst = Lookup(to);
  if (!dst) {
    if (!CreateFolder(to)) return false;
    dst = Lookup(to);
  } else if (!dst->IsDir()) {
    return false;
  }
  return CopyInto(*src, *dst, overwrite);
}

bool FakeFileSystem::DeleteTree(Node& folder, bool force) {
  bool ok = true;
  for (auto it = folder.children.begin(); it != folder.children.end();) {
    Node& child = *it->second;
    bool gone = false;
    if (child.IsDir()) {
      gone = DeleteTree(child, force);
    } else if (!child.inUse && (force || !(child.attrs & FA_READONLY))) {
      gone = true;
    }
    if (gone) {
      it = folder.children.erase(it);
    } else {
      ok = false;
      ++it;
    }
  }
  return ok;
}

bool FakeFileSystem::DeleteFolder(const std::string& path, bool force) {
  std::string leaf;
  Node* parent = Parent(path, leaf);
  Node* n = Lookup(path);
  if (!parent || !n || !n->IsDir()) return false;
  if (!DeleteTree(*n, force)) return false;
  parent->children.erase(Upper(leaf));
  return true;
}

std::optional<std::string> FakeFileSystem::ReadFile(const std::string& path) {
  Node* n = Lookup(path);
  if (!n || n->IsDir()) return std::nullopt;
  return n->bytes;
}

bool FakeFileSystem::WriteFile(const std::string& path, const std::string& bytes) {
  if (Node* n = Lookup(path)) {
    if (n->IsDir() || n->inUse || (n->attrs & FA_READONLY)) return false;
    n->bytes = bytes;
    return true;
  }
  std::string leaf;
  Node* parent = Parent(path, leaf);
  if (!parent || HasWildcards(leaf)) return false;
  auto node = std::make_unique<Node>();
  node->name = leaf;
  node->attrs = FA_ARCHIVE;
  node->bytes = bytes;
  parent->children[Upper(leaf)] = std::move(node);
  return true;
}

bool FakeFileSystem::AppendFile(const std::string& path, const std::string& bytes) {
  if (Node* n = Lookup(path)) {
    if (n->IsDir() || n->inUse || (n->attrs & FA_READONLY)) return false;
    n->bytes += bytes;
    return true;
  }
  return WriteFile(path, bytes);
}

void FakeFileSystem::AddFile(const std::string& path, const std::string& bytes, uint32_t attrs) {
  auto parts = SplitPath(path);
  if (parts.size() < 2 || !IsDriveSpec(parts[0])) return;
  Node* dir = MakeFolders(parts, parts.size() - 1);
  auto& slot = dir->children[Upper(parts.back())];
  slot = std::make_unique<Node>();
  slot->name = parts.back();
  slot->attrs = attrs & ~static_cast<uint32_t>(FA_DIRECTORY | FA_NORMAL);
  slot->bytes = bytes;
}

void FakeFileSystem::AddFolder(const std::string& path, uint32_t attrs) {
  auto parts = SplitPath(path);
  if (parts.empty() || !IsDriveSpec(parts[0])) return;
  Node* n = MakeFolders(parts, parts.size());
  if (parts.size() > 1) n->attrs = (attrs | FA_DIRECTORY) & ~static_cast<uint32_t>(FA_NORMAL);
}

void FakeFileSystem::SetInUse(const std::string& path, bool inUse) {
  if (Node* n = Lookup(path)) n->inUse = inUse;
}

bool FakeFileSystem::Exists(const std::string& path) { return Lookup(path) != nullptr; }

}  // namespace kx::fakes
