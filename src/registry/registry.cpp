#include "registry/registry.h"

namespace homestead {

namespace {
HomesteadRegistry gRegistry;
}  // namespace

HomesteadRegistry& Registry() {
  return gRegistry;
}

HomesteadRegistry::HomesteadRegistry() : buckets_(kInitialBucketCount, kNoEntry) {}

std::size_t HomesteadRegistry::BucketOf(int32_t id) const {
  return static_cast<uint32_t>(id) % buckets_.size();
}

Homestead& HomesteadRegistry::FindOrInsert(int32_t id) {
  for (uint32_t i = buckets_[BucketOf(id)]; i != kNoEntry; i = nextInBucket_[i]) {
    if (entries_[i].id == id) return entries_[i].record;
  }
  if (static_cast<float>(entries_.size() + 1) >
      kMaxLoadFactor * static_cast<float>(buckets_.size())) {
    Rehash(buckets_.size() * 2);
  }
  const auto index = static_cast<uint32_t>(entries_.size());
  nextInBucket_.reserve(entries_.size() + 1);  // so the link push below cannot fail
  entries_.push_back(Entry{id, Homestead()});
  const std::size_t bucket = BucketOf(id);
  nextInBucket_.push_back(buckets_[bucket]);
  buckets_[bucket] = index;
  return entries_.back().record;
}

void HomesteadRegistry::Rehash(std::size_t bucketCount) {
  buckets_.assign(bucketCount, kNoEntry);
  for (uint32_t i = 0; i < entries_.size(); ++i) {
    const std::size_t bucket = BucketOf(entries_[i].id);
    nextInBucket_[i] = buckets_[bucket];
    buckets_[bucket] = i;
  }
}

}  // namespace homestead
