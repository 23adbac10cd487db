#include "qmxmisc/multivariate/CovNodeChain.h"

#include <new>
#include <stdexcept>
#include <utility>

CovNodeChain::~CovNodeChain() {
  clear();
}

void CovNodeChain::reset(long nTargets, long nCorrelations) {
  clear();
  nTargets_ = nTargets;
  nCorrelations_ = nCorrelations;
  allocatedNodes_ = 0;
}

void CovNodeChain::clear() {
  freeList(head_);
  freeList(freeNodes_);
}

std::unique_ptr<CovNode> CovNodeChain::take() noexcept {
  if (freeNodes_ != nullptr) {
    std::unique_ptr<CovNode> node = std::move(freeNodes_);
    freeNodes_ = std::move(node->next);
    node->blockCount = 0;
    node->rows = 0;
    return node;
  }
  try {
    auto node = std::make_unique<CovNode>(nTargets_, nCorrelations_);
    ++allocatedNodes_;
    return node;
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {  // arrays beyond what a vector can hold
    return nullptr;
  }
}

void CovNodeChain::pushFront(std::unique_ptr<CovNode> node) {
  node->next = std::move(head_);
  head_ = std::move(node);
}

void CovNodeChain::combine(bool force) {
  while (head_ != nullptr && head_->next != nullptr &&
         (head_->blockCount == head_->next->blockCount || force)) {
    std::unique_ptr<CovNode> older = std::move(head_->next);
    head_->absorb(*older);
    head_->next = std::move(older->next);
    older->next = std::move(freeNodes_);
    freeNodes_ = std::move(older);
  }
}

void CovNodeChain::releasePool() {
  freeList(freeNodes_);
}

std::size_t CovNodeChain::countList(const CovNode* node) {
  std::size_t count = 0;
  for (; node != nullptr; node = node->next.get())
    ++count;
  return count;
}

// Unlinks records one by one so that freeing a list never recurses through `next`.
void CovNodeChain::freeList(std::unique_ptr<CovNode>& list) {
  while (list != nullptr) {
    std::unique_ptr<CovNode> rest = std::move(list->next);
    list = std::move(rest);
  }
}
