// A doubly linked list of handles with sentinel head and tail; new nodes go to the front.
// Owners embed the nodes in their own records.
#pragma once

namespace qr::core {

struct HandleListNode {
  int handle = -1;
  void* data = nullptr;
  HandleListNode* previous = nullptr;
  HandleListNode* next = nullptr;
};

inline void InitHandleList(HandleListNode& head, HandleListNode& tail) {
  head = HandleListNode{-1, nullptr, nullptr, &tail};
  tail = HandleListNode{-1, nullptr, &head, nullptr};
}

inline void AddHandleList(HandleListNode& head, HandleListNode& node, int handle, void* data) {
  node.handle = handle;
  node.data = data;
  node.previous = &head;
  node.next = head.next;
  head.next->previous = &node;
  head.next = &node;
}

// Unlinks the node; its own links are left as they were.
inline void RemoveHandleList(HandleListNode& node) {
  node.previous->next = node.next;
  node.next->previous = node.previous;
}

}  // namespace qr::core
