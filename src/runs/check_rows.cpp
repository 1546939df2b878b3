#include "runs/check_rows.h"

#include <algorithm>
#include <numeric>
#include <tuple>
#include <utility>

#include "base/format.h"
#include "base/texts.h"
#include "runs/check_all_lines.h"
#include "runs/check_causes.h"
#include "runs/check_all_work.h"

namespace rk {

namespace {

// An address in network byte order as a number that sorts as it reads.
double AddressOrder(uint32_t networkOrder) {
  const auto* b = reinterpret_cast<const unsigned char*>(&networkOrder);
  return double((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]);
}

bool HasTime(const EndpointResult& endpoint) { return endpoint.verdict != Verdict::NoPort; }

}  // namespace

const char* CheckColumnTitle(CheckColumn column) {
  switch (column) {
    case CheckColumn::Host: return text::kColumnHost;
    case CheckColumn::Address: return text::kColumnAddress;
    case CheckColumn::Direct: return text::kColumnDirect;
    case CheckColumn::Time: return text::kColumnTime;
    case CheckColumn::ViaProxy: return text::kColumnViaProxy;
    case CheckColumn::Cause: break;
  }
  return text::kColumnCause;
}

void CheckRows::Reset(std::vector<EndpointResult> endpoints, bool viaProxy) {
  viaProxy_ = viaProxy;
  finished_ = 0;
  rows_.clear();
  rows_.reserve(endpoints.size());
  for (EndpointResult& endpoint : endpoints) {
    Row row;
    row.waitsForProxy = viaProxy && TriedViaProxy(endpoint.port);
    row.endpoint = std::move(endpoint);
    rows_.push_back(std::move(row));
  }
  order_.resize(rows_.size());
  std::iota(order_.begin(), order_.end(), std::size_t{0});
  positionOf_ = order_;
  if (sortColumn_) {
    // Keep the user's order: the same column, the same direction.
    const CheckColumn column = *sortColumn_;
    const bool descending = descending_;
    sortColumn_.reset();
    SortBy(column);
    if (descending) SortBy(column);
  }
}

std::vector<CheckColumn> CheckRows::Columns() const {
  std::vector<CheckColumn> columns = {CheckColumn::Host, CheckColumn::Address, CheckColumn::Direct,
                                      CheckColumn::Time};
  if (viaProxy_) columns.push_back(CheckColumn::ViaProxy);
  columns.push_back(CheckColumn::Cause);
  return columns;
}

void CheckRows::Settled(Row& row, bool wasComplete) {
  if (!wasComplete && Complete(row)) ++finished_;
}

std::size_t CheckRows::SetDirect(std::size_t slot, const EndpointResult& endpoint) {
  Row& row = rows_.at(slot);
  const bool was = Complete(row);
  row.endpoint = endpoint;
  row.direct = true;
  Settled(row, was);
  return positionOf_[slot];
}

std::size_t CheckRows::SetProxied(std::size_t slot, const ProxyResult& result) {
  Row& row = rows_.at(slot);
  const bool was = Complete(row);
  row.proxied = result;
  Settled(row, was);
  return positionOf_[slot];
}

void CheckRows::SetCauses(const CheckReport& report) {
  for (Row& row : rows_) {
    if (!row.direct) continue;
    const AddressDiagnosis* diagnosis = nullptr;
    if (row.endpoint.address)
      for (const AddressDiagnosis& d : report.addresses)
        if (d.address == *row.endpoint.address) diagnosis = &d;
    row.cause = CauseWords(row.endpoint, diagnosis, report.icmpAvailable);
  }
}

void CheckRows::MarkStopped() {
  for (Row& row : rows_)
    if (!Complete(row)) row.stopped = true;
}

std::string CheckRows::CellOf(const Row& row, CheckColumn column) const {
  const EndpointResult& e = row.endpoint;
  const char* waiting = row.stopped ? text::kRowStopped : text::kRowPending;
  switch (column) {
    case CheckColumn::Host:
      return e.label;
    case CheckColumn::Address: {
      const std::string address = e.address ? DottedIPv4(*e.address) : e.host;
      return e.port == 0 ? address : Format("%s:%d", address.c_str(), e.port);
    }
    case CheckColumn::Direct:
      return row.direct ? VerdictWords(e.verdict) : waiting;
    case CheckColumn::Time:
      return row.direct && HasTime(e) ? Format(text::kMsFormat, e.ms) : std::string();
    case CheckColumn::ViaProxy:
      if (!row.waitsForProxy) return {};
      return row.proxied ? ProxyVerdictWords(row.proxied->verdict) : waiting;
    case CheckColumn::Cause:
      return row.cause;
  }
  return {};
}

std::string CheckRows::Cell(std::size_t position, CheckColumn column) const {
  return CellOf(rows_.at(order_.at(position)), column);
}

void CheckRows::SortBy(CheckColumn column) {
  descending_ = sortColumn_ == column && !descending_;
  sortColumn_ = column;
  // A key that orders rows as a reader expects: numbers as numbers, what is
  // still unknown after what is known.
  const auto key = [&](const Row& row) {
    const EndpointResult& e = row.endpoint;
    switch (column) {
      case CheckColumn::Address:
        return std::make_tuple(e.address ? 0 : 1, e.address ? AddressOrder(*e.address) : 0.0,
                               double(e.port), e.address ? std::string() : e.host);
      case CheckColumn::Direct:
        return std::make_tuple(row.direct ? 0 : 1, double(e.verdict), 0.0, std::string());
      case CheckColumn::Time:
        return std::make_tuple(row.direct && HasTime(e) ? 0 : 1, e.ms, 0.0, std::string());
      case CheckColumn::ViaProxy:
        return std::make_tuple(row.proxied ? 0 : 1, row.proxied ? double(row.proxied->verdict) : 0.0,
                               0.0, std::string());
      default:
        return std::make_tuple(0, 0.0, 0.0, CellOf(row, column));
    }
  };
  std::vector<std::size_t> slots(rows_.size());
  std::iota(slots.begin(), slots.end(), std::size_t{0});
  std::vector<decltype(key(rows_.front()))> keys;
  keys.reserve(rows_.size());
  for (const Row& row : rows_) keys.push_back(key(row));
  std::stable_sort(slots.begin(), slots.end(), [&](std::size_t a, std::size_t b) {
    return descending_ ? keys[b] < keys[a] : keys[a] < keys[b];
  });
  order_ = std::move(slots);
  for (std::size_t position = 0; position < order_.size(); ++position) positionOf_[order_[position]] = position;
}

std::string CheckRows::CopyText(const std::vector<std::size_t>& positions) const {
  const std::vector<CheckColumn> columns = Columns();
  const auto line = [&](auto cell) {
    std::string out;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) out += '\t';
      out += cell(columns[c]);
    }
    return out + "\r\n";
  };
  std::string text = line([](CheckColumn column) { return std::string(CheckColumnTitle(column)); });
  const auto row = [&](std::size_t position) {
    text += line([&](CheckColumn column) { return Cell(position, column); });
  };
  if (positions.empty())
    for (std::size_t p = 0; p < order_.size(); ++p) row(p);
  else
    for (const std::size_t p : positions) row(p);
  return text;
}

}  // namespace rk
