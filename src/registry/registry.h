// HomesteadRegistry: the process-wide map from homestead id to its record.
//
// Contract:
//  - FindOrInsert(id) returns the record of `id`, inserting a default record
//    when there is none; no lookup fails and no record is ever removed.
//  - Records live at stable addresses: a reference stays valid while other
//    records are looked up or inserted (and across a script wait).
//  - Walking visits every record once, in the order the ids were first
//    inserted; the catalogue inserts 1 and then 7, so 1 is walked first.
//  - Hashing: separate chaining, 8 buckets to start with, at most one record
//    per bucket on average (maximum load factor 1.0) before the buckets double.
#ifndef HOMESTEAD_REGISTRY_REGISTRY_H
#define HOMESTEAD_REGISTRY_REGISTRY_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "registry/homestead.h"

namespace homestead {

class HomesteadRegistry {
 public:
  struct Entry {
    int32_t id;
    Homestead record;
  };

  static constexpr std::size_t kInitialBucketCount = 8;
  static constexpr float kMaxLoadFactor = 1.0f;

  HomesteadRegistry();

  Homestead& FindOrInsert(int32_t id);

  std::size_t size() const { return entries_.size(); }
  std::size_t bucket_count() const { return buckets_.size(); }

  // Walk in element order. An insert invalidates a walk's iterators (never
  // references); the stages a walk calls look up ids already present, so a
  // walk never sees one.
  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  static constexpr uint32_t kNoEntry = UINT32_MAX;

  std::size_t BucketOf(int32_t id) const;
  void Rehash(std::size_t bucketCount);

  std::deque<Entry> entries_;           // element order; push_back keeps addresses
  std::vector<uint32_t> nextInBucket_;  // chain link per entry
  std::vector<uint32_t> buckets_;       // first entry of each bucket
};

// The plug-in's only global object with a constructor and destructor.
HomesteadRegistry& Registry();

}  // namespace homestead

#endif  // HOMESTEAD_REGISTRY_REGISTRY_H
