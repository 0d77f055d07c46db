// The registry in memory: a tree of keys per root. Open keys share the nodes, so a key whose
// tree was deleted fails as a deleted key does on Windows.
#include "platform/memory_registry.h"

#include <map>
#include <utility>

namespace tarvik::registry {

namespace {

// Names compare with the ASCII letters folded to upper case (all the names we use are ASCII).
std::string fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

// The levels of a path; empty levels (doubled or outer "\") are passed over.
std::vector<std::string_view> levels(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const auto cut = path.find('\\');
    const auto part = path.substr(0, cut);
    if (!part.empty()) parts.push_back(part);
    if (cut == std::string_view::npos) break;
    path.remove_prefix(cut + 1);
  }
  return parts;
}

int index_of(Root root) { return root == Root::ClassesRoot ? 0 : 1; }

}  // namespace

struct MemoryRegistry::State {
  struct Node {
    std::string name;
    bool deleted = false;
    std::map<std::string, std::shared_ptr<Node>> children;           // by folded name
    std::map<std::string, std::pair<std::string, std::string>> values;  // folded -> name, data
  };

  std::shared_ptr<Node> roots[2] = {std::make_shared<Node>(), std::make_shared<Node>()};
  bool denied[2] = {false, false};
  std::size_t changes = 0;

  void check_allowed(Root root, const std::string& what) const {
    if (denied[index_of(root)]) throw RegistryError(os_error_access_denied(), what);
  }

  // The node of `path`, or nullptr.
  std::shared_ptr<Node> find(Root root, std::string_view path) const {
    auto node = roots[index_of(root)];
    for (auto part : levels(path)) {
      const auto it = node->children.find(fold(part));
      if (it == node->children.end()) return nullptr;
      node = it->second;
    }
    return node;
  }

  static void mark_deleted(Node& node) {
    node.deleted = true;
    for (auto& [name, child] : node.children) mark_deleted(*child);
  }

  // Deletes the child `path` of `node` with its tree; false when it is missing.
  bool delete_below(Node& node, std::string_view path) {
    auto parts = levels(path);
    if (parts.empty()) return false;
    Node* parent = &node;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
      const auto it = parent->children.find(fold(parts[i]));
      if (it == parent->children.end()) return false;
      parent = it->second.get();
    }
    const auto it = parent->children.find(fold(parts.back()));
    if (it == parent->children.end()) return false;
    mark_deleted(*it->second);
    parent->children.erase(it);
    ++changes;
    return true;
  }
};

namespace {

using State = MemoryRegistry::State;

class MemoryKey final : public Key {
 public:
  MemoryKey(std::shared_ptr<State> state, std::shared_ptr<State::Node> node, Root root,
            std::string name)
      : state_(std::move(state)), node_(std::move(node)), root_(root), name_(std::move(name)) {}

  void write(std::string_view name, std::string_view data) override {
    check_alive(name);
    state_->check_allowed(root_, value_name(name));
    node_->values[fold(name)] = {std::string(name), std::string(data)};
    ++state_->changes;
  }

  std::string read(std::string_view name) override {
    check_alive(name);
    const auto it = node_->values.find(fold(name));
    return it == node_->values.end() ? std::string() : it->second.second;
  }

  void delete_value(std::string_view name) override {
    check_alive(name);
    const auto it = node_->values.find(fold(name));
    if (it == node_->values.end()) return;
    state_->check_allowed(root_, value_name(name));
    node_->values.erase(it);
    ++state_->changes;
  }

  void delete_tree(std::string_view subkey) override {
    check_alive("");
    if (levels(subkey).empty()) return;
    state_->check_allowed(root_, name_ + "\\" + std::string(subkey));
    state_->delete_below(*node_, subkey);
  }

 private:
  std::string value_name(std::string_view name) const {
    return name.empty() ? name_ : name_ + "\\" + std::string(name);
  }
  void check_alive(std::string_view name) const {
    if (node_->deleted) throw RegistryError(os_error_not_found(), value_name(name));
  }

  std::shared_ptr<State> state_;
  std::shared_ptr<State::Node> node_;
  Root root_;
  std::string name_;
};

// Appends the rows and key names below `node` (whose full name is `name`) in name order.
void collect(const State::Node& node, const std::string& name, std::vector<MemoryRegistry::Row>* rows,
             std::vector<std::string>* keys) {
  for (const auto& [folded, value] : node.values) {
    if (rows) rows->push_back({name, value.first, value.second});
  }
  for (const auto& [folded, child] : node.children) {
    const auto child_name = name + "\\" + child->name;
    if (keys) keys->push_back(child_name);
    collect(*child, child_name, rows, keys);
  }
}

}  // namespace

MemoryRegistry::MemoryRegistry() : state_(std::make_shared<State>()) {}
MemoryRegistry::~MemoryRegistry() = default;

std::unique_ptr<Key> MemoryRegistry::open(Root root, std::string_view path, Open how) {
  // Keys are opened for writing too, which a user without the right is refused even when the
  // key exists.
  auto node = state_->roots[index_of(root)];
  for (auto part : levels(path)) {
    const auto folded = fold(part);
    auto it = node->children.find(folded);
    if (it == node->children.end()) {
      if (how == Open::Existing) return nullptr;
      state_->check_allowed(root, full_name(root, path));
      auto child = std::make_shared<State::Node>();
      child->name = std::string(part);
      it = node->children.emplace(folded, std::move(child)).first;
      ++state_->changes;
    }
    node = it->second;
  }
  state_->check_allowed(root, full_name(root, path));
  return std::make_unique<MemoryKey>(state_, node, root, full_name(root, path));
}

bool MemoryRegistry::exists(Root root, std::string_view path) {
  return state_->find(root, path) != nullptr;
}

void MemoryRegistry::delete_tree(Root root, std::string_view path) {
  if (levels(path).empty()) return;  // never a whole root
  // A missing key is found missing before any right is asked for, as on Windows.
  if (!state_->find(root, path)) return;
  state_->check_allowed(root, full_name(root, path));
  state_->delete_below(*state_->roots[index_of(root)], path);
}

void MemoryRegistry::deny_changes(Root root, bool deny) { state_->denied[index_of(root)] = deny; }

std::vector<MemoryRegistry::Row> MemoryRegistry::rows() const {
  std::vector<Row> rows;
  for (Root root : {Root::ClassesRoot, Root::LocalMachine}) {
    collect(*state_->roots[index_of(root)], std::string(root_name(root)), &rows, nullptr);
  }
  return rows;
}

std::vector<std::string> MemoryRegistry::keys() const {
  std::vector<std::string> keys;
  for (Root root : {Root::ClassesRoot, Root::LocalMachine}) {
    collect(*state_->roots[index_of(root)], std::string(root_name(root)), nullptr, &keys);
  }
  return keys;
}

std::size_t MemoryRegistry::changes() const { return state_->changes; }

}  // namespace tarvik::registry
