#pragma once
// The check window's table: one row per endpoint of a check of every host,
// filled in as verdicts arrive, sortable by any column. Every operation on
// one row costs the same however many rows there are; only a sort touches
// them all. Texts are code page 950, as the window shows them.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "probes/proxy_connector.h"
#include "runs/reachability_check.h"

namespace rk {

enum class CheckColumn { Host, Address, Direct, Time, ViaProxy, Cause };

// The column's title (code page 950).
[[nodiscard]] const char* CheckColumnTitle(CheckColumn column);

class CheckRows {
 public:
  // A new check: `endpoints` as CheckEndpoints lists them (their slots), all
  // pending. With `viaProxy` every endpoint with a usable port also waits for
  // its verdict through the proxy. The sort order stays as it was.
  void Reset(std::vector<EndpointResult> endpoints, bool viaProxy);

  [[nodiscard]] std::size_t size() const { return rows_.size(); }
  [[nodiscard]] bool viaProxy() const { return viaProxy_; }
  // The columns shown: the proxied one only with a proxy.
  [[nodiscard]] std::vector<CheckColumn> Columns() const;

  // A verdict for the endpoint in `slot`; returns the row's position now.
  std::size_t SetDirect(std::size_t slot, const EndpointResult& endpoint);
  std::size_t SetProxied(std::size_t slot, const ProxyResult& result);
  // The causes, once the check has ended: each endpoint's from its address's
  // diagnosis. Rows still pending keep none.
  void SetCauses(const CheckReport& report);
  // The check was stopped: every row still waiting reads "stopped".
  void MarkStopped();

  // Rows with every verdict they wait for.
  [[nodiscard]] std::size_t Finished() const { return finished_; }

  // The text of a cell at a display position.
  [[nodiscard]] std::string Cell(std::size_t position, CheckColumn column) const;

  // Sorts by `column`, ascending; the same column again reverses. Times sort
  // as numbers, a row without one last; ties keep the check's order.
  void SortBy(CheckColumn column);

  // The rows at `positions` (all rows when empty), a header line first, cells
  // separated by tabs and lines by CR LF.
  [[nodiscard]] std::string CopyText(const std::vector<std::size_t>& positions) const;

 private:
  struct Row {
    EndpointResult endpoint;
    bool direct = false;  // its direct verdict is in
    bool waitsForProxy = false;
    std::optional<ProxyResult> proxied;
    bool stopped = false;
    std::string cause;
  };
  [[nodiscard]] bool Complete(const Row& row) const {
    return row.direct && (!row.waitsForProxy || row.proxied);
  }
  void Settled(Row& row, bool wasComplete);
  [[nodiscard]] std::string CellOf(const Row& row, CheckColumn column) const;

  std::vector<Row> rows_;                 // in slot order
  std::vector<std::size_t> order_;        // display position -> slot
  std::vector<std::size_t> positionOf_;   // slot -> display position
  bool viaProxy_ = false;
  std::size_t finished_ = 0;
  std::optional<CheckColumn> sortColumn_;
  bool descending_ = false;
};

}  // namespace rk
