// Service kinds in memory: the kind list of the container in its three search modes, each kind's
// area and supplier-price lists, the supplier discounts and the volume-divisor letter, and records
// that stay put while other threads insert.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pricing/ems_kind.h"
#include "pricing/ostrum_container.h"
#include "util/text.h"

namespace {

EmsKindRow Row(const char* code, const char* input, int32_t nwtypec = 0) {
  EmsKindRow r;
  tw::CopyTextLimited(r.cemskind, code, sizeof r.cemskind - 1);
  tw::CopyTextLimited(r.cemskindi, input, sizeof r.cemskindi - 1);
  r.nwtypec = nwtypec;
  return r;
}

AreaRecord Area(const char* name, int32_t narea) {
  AreaRecord a;
  tw::CopyTextLimited(a.carea, name, sizeof a.carea - 1);
  a.narea = narea;
  return a;
}

SpPriceRecord Sp(int32_t isid, int32_t ipos, int32_t doc, int32_t bag, int32_t wbag) {
  SpPriceRecord r;
  r.isid = isid;
  r.ipos = ipos;
  r.ndocdiscount = doc;
  r.nbagdiscount = bag;
  r.nwbagdiscount = wbag;
  return r;
}

// A slot without a connection: every statement on it fails.
std::unique_ptr<PoolSlot> DeadSlot() {
  auto slot = std::make_unique<PoolSlot>();
  slot->hDbc = SQL_NULL_HDBC;
  return slot;
}

TEST(EmsKind, AreasAreKeptInNameOrderAndFoundWithoutCase) {
  CEmsKind kind(Row("EMS", "E特快"));
  kind.InsertArea(Area("美国", 5));
  kind.InsertArea(Area("Canada", 4));
  kind.InsertArea(Area("澳大利亚", 5));
  const AreaRecord* held = kind.InsertArea(Area("CANADA", 9));  // the same area in other case
  EXPECT_EQ(held->narea, 4) << "the record already kept is answered";
  EXPECT_EQ(kind.AreaCount(), 3u);

  ASSERT_NE(kind.FindArea("canada"), nullptr);
  EXPECT_EQ(kind.FindArea("canada")->narea, 4);
  ASSERT_NE(kind.FindArea("美国"), nullptr);
  EXPECT_EQ(kind.FindArea("英国"), nullptr);

  // Two-byte characters whose second bytes are "A" and "a" are different areas.
  kind.InsertArea(Area("\x81\x41", 1));
  kind.InsertArea(Area("\x81\x61", 2));
  EXPECT_EQ(kind.AreaCount(), 5u);
  EXPECT_EQ(kind.FindArea("\x81\x61")->narea, 2);
}

TEST(EmsKind, GetAreaAnswersFromTheListAndRefusesWhatNoAreaIs) {
  CEmsKind kind(Row("EMS", "E特快"));
  auto slot = DeadSlot();
  kind.InsertArea(Area("美国", 5));
  const AreaRecord* a = kind.GetArea("美国", *slot);
  ASSERT_NE(a, nullptr) << "found in the list: no statement needed";
  EXPECT_EQ(a->narea, 5);
  EXPECT_EQ(kind.GetArea("英国", *slot), nullptr) << "a miss with a failing statement";
  EXPECT_EQ(kind.GetArea("", *slot), nullptr);
  EXPECT_EQ(kind.GetArea(std::string(40, 'x').c_str(), *slot), nullptr);
  EXPECT_EQ(kind.AreaCount(), 1u);
}

TEST(EmsKind, SupplierDiscountIsNoDiscountWithoutARecord) {
  CEmsKind kind(Row("EMS", "E特快"));
  kind.InsertSpPrice(Sp(7, 20, 9000, 9200, 9500));
  struct Case {
    int32_t isid;
    int mode;
    int32_t want;
    const char* why;
  } cases[] = {
      {7, 0, 9000, "mode 0: documents"},
      {7, 1, 9200, "mode 1: bags"},
      {7, 2, 9500, "mode 2: the third discount"},
      {7, 5, 9500, "any other mode: the third discount"},
      {8, 0, kNoDiscount, "no record of supplier 8"},
      {8, 1, kNoDiscount, "no record of supplier 8"},
      {8, 2, kNoDiscount, "no record of supplier 8"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kind.GetSpDiscount(c.isid, c.mode), c.want) << c.why;
  }
}

TEST(EmsKind, SupplierPricesAreKeptInIposOrderOncePerSupplier) {
  CEmsKind kind(Row("EMS", "E特快"));
  auto slot = DeadSlot();
  kind.InsertSpPrice(Sp(1, 30, 1, 1, 1));
  kind.InsertSpPrice(Sp(2, 10, 2, 2, 2));
  kind.InsertSpPrice(Sp(3, 20, 3, 3, 3));
  EXPECT_EQ(kind.InsertSpPrice(Sp(2, 99, 7, 7, 7))->ipos, 10) << "supplier 2 is kept already";
  EXPECT_EQ(kind.SpPriceCount(), 3u);
  ASSERT_NE(kind.GetSpPrice(3, *slot), nullptr);
  EXPECT_EQ(kind.GetSpPrice(3, *slot)->ndocdiscount, 3);
  EXPECT_EQ(kind.GetSpPrice(4, *slot), nullptr);
  EXPECT_EQ(kind.GetSpPrice(0, *slot), nullptr);
}

TEST(EmsKind, VolumeDivisorCodeOfTheClientWeightType) {
  struct Case {
    int32_t nwtypec;
    char want;
  } cases[] = {{0, 0}, {1, 'D'}, {2, 0}, {3, 'E'}, {4, 'T'}, {5, 0}, {-1, 0}};
  for (const Case& c : cases) {
    CEmsKind kind(Row("K", "k", c.nwtypec));
    EXPECT_EQ(GetVolumeDivisorCode(kind), c.want) << "nwtypec " << c.nwtypec;
  }
}

TEST(OstrumContainer, KindsAreFoundByCodeInputNameOrEither) {
  auto c = std::make_unique<COstrumContainer>();
  const CEmsKind* ems = c->InsertEmsKind(Row("EMS", "E特快"));
  const CEmsKind* eub = c->InsertEmsKind(Row("EUB", "E邮宝"));
  EXPECT_EQ(c->InsertEmsKind(Row("ems", "other")), ems) << "one kind per code, whatever its case";
  EXPECT_EQ(c->EmsKindCount(), 2u);

  struct Case {
    const char* text;
    int mode;
    const CEmsKind* want;
    const char* why;
  } cases[] = {
      {"EMS", kKindByCode, ems, "code"},
      {"eub", kKindByCode, eub, "code in other case (the database compares without case)"},
      {"E邮宝", kKindByCode, nullptr, "an input name is no code"},
      {"E邮宝", kKindByInputName, eub, "input name"},
      {"e特快", kKindByInputName, ems, "input name in other case"},
      {"EMS", kKindByInputName, nullptr, "a code is no input name"},
      {"E特快", kKindByEither, ems, "either: input name"},
      {"EUB", kKindByEither, eub, "either: code"},
      {"EUB", 7, eub, "any other mode is either"},
      {"XYZ", kKindByEither, nullptr, "unknown"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(c->FindEmsKind(k.text, k.mode), k.want) << k.why;
  }
}

TEST(OstrumContainer, LoadEmsKindAnswersTheListAndKeepsNothingItCouldNotRead) {
  auto c = std::make_unique<COstrumContainer>();
  auto slot = DeadSlot();
  const CEmsKind* ems = c->InsertEmsKind(Row("EMS", "E特快"));
  EXPECT_EQ(c->LoadEmsKind("E特快", *slot, kKindByInputName), ems) << "loaded by code before, asked by input name";
  EXPECT_EQ(c->LoadEmsKind("NOPE", *slot, kKindByCode), nullptr);
  EXPECT_EQ(c->LoadEmsKind("", *slot, kKindByCode), nullptr);
  EXPECT_EQ(c->LoadEmsKind("SIXTEEN-BYTES-XX", *slot, kKindByCode), nullptr);
  EXPECT_EQ(c->EmsKindCount(), 1u);
}

// Readers hold records while writers insert around them: every pointer handed out must keep
// pointing at its own record (the sanitizer build catches a record that moved or was freed).
TEST(EmsKind, RecordsStayPutWhileOtherThreadsInsert) {
  auto c = std::make_unique<COstrumContainer>();
  const CEmsKind* kind = c->InsertEmsKind(Row("EMS", "E特快"));
  kind->InsertArea(Area("A0000", 0));
  constexpr int kWriters = 4, kPerWriter = 300, kReaders = 4;
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      char name[32];
      for (int i = 0; i < kPerWriter; ++i) {
        std::snprintf(name, sizeof name, "W%d-%04d", w, i);
        kind->InsertArea(Area(name, i));
        kind->InsertSpPrice(Sp(1 + w * kPerWriter + i, (i * 7919) % 1000, i, i, i));
        std::snprintf(name, sizeof name, "K%d-%04d", w, i);
        c->InsertEmsKind(Row(name, name));
      }
    });
  }
  for (int r = 0; r < kReaders; ++r) {
    threads.emplace_back([&] {
      const AreaRecord* first = kind->FindArea("A0000");
      while (!stop.load()) {
        if (first == nullptr || std::string(first->carea) != "A0000") {
          ++bad;
        }
        const AreaRecord* a = kind->FindArea("W0-0001");
        if (a != nullptr && a->narea != 1) {
          ++bad;
        }
        const CEmsKind* k = c->FindEmsKind("K1-0002", kKindByCode);
        if (k != nullptr && std::string(k->cemskindi) != "K1-0002") {
          ++bad;
        }
        if (c->FindEmsKind("EMS", kKindByCode) != kind) {
          ++bad;
        }
      }
    });
  }
  for (int w = 0; w < kWriters; ++w) {
    threads[w].join();
  }
  stop.store(true);
  for (size_t i = kWriters; i < threads.size(); ++i) {
    threads[i].join();
  }
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(kind->AreaCount(), 1u + kWriters * kPerWriter);
  EXPECT_EQ(kind->SpPriceCount(), static_cast<size_t>(kWriters * kPerWriter));
  EXPECT_EQ(c->EmsKindCount(), 1u + kWriters * kPerWriter);
}

}  // namespace
