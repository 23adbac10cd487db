#include "qmxmisc/multivariate/CovNodeChain.h"

#include <new>
#include <stdexcept>
#include <utility>

namespace {

// A new record with the contents of `node` (not its successor).
std::unique_ptr<CovNode> cloneRecord(const CovNode& node) {
  auto copy = std::make_unique<CovNode>(node.nTargets(), node.nCorrelations());
  copy->targetSums = node.targetSums;
  copy->correlationSums = node.correlationSums;
  copy->targetSumsLow = node.targetSumsLow;
  copy->correlationSumsLow = node.correlationSumsLow;
  copy->targetSumSquares = node.targetSumSquares;
  copy->correlationSumSquares = node.correlationSumSquares;
  copy->crossProducts = node.crossProducts;
  copy->blockCount = node.blockCount;
  copy->rows = node.rows;
  copy->weight = node.weight;
  return copy;
}

}  // namespace

CovNodeChain::CovNodeChain(const CovNodeChain& other)
    : nTargets_(other.nTargets_), nCorrelations_(other.nCorrelations_) {
  std::unique_ptr<CovNode>* tail = &head_;
  for (const CovNode* node = other.head_.get(); node != nullptr; node = node->next.get()) {
    *tail = cloneRecord(*node);
    tail = &(*tail)->next;
    ++allocatedNodes_;
  }
}

CovNodeChain& CovNodeChain::operator=(const CovNodeChain& other) {
  if (this != &other) *this = CovNodeChain(other);
  return *this;
}

CovNodeChain::~CovNodeChain() {
  clear();
}

void CovNodeChain::absorbChain(const CovNodeChain& other) {
  if (other.head_ == nullptr) return;
  combine(true);
  std::unique_ptr<CovNode> incoming = cloneRecord(*other.head_);
  for (const CovNode* node = other.head_->next.get(); node != nullptr; node = node->next.get())
    incoming->absorb(*node);
  if (head_ == nullptr) {
    ++allocatedNodes_;
    pushFront(std::move(incoming));
    return;
  }
  head_->absorb(*incoming);
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
