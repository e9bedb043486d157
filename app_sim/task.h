#pragma once

#include "app_sim/dates.h"

#include <optional>
#include <string>

namespace mivet::sim {

struct Task {
  std::string id;
  std::string title;
  std::string notes;
  std::string sourceContext;
  std::string excerpt;
  std::string deepLink;
  std::string source = "manual";
  bool autoExtracted = false;
  std::optional<DueDate> due;
  bool completed = false;
  Instant createdAt{};
  Instant updatedAt{};
  std::optional<Instant> completedAt;
};

// Where a task shows up in the list. Open tasks without a due date belong to Today.
enum class Bucket { today, overdue, upcoming, completed };

// Which tasks tasks_list answers with. Stale tasks are open tasks that nobody
// has touched for staleAfter; they also appear in their own bucket.
enum class Scope { today, overdue, stale, completed, all };

inline constexpr std::chrono::days staleAfter{7};

Bucket bucketOf(const Task& task, Day today);
bool isStale(const Task& task, Instant now);
bool inScope(const Task& task, Scope scope, Instant now);

std::string_view bucketName(Bucket bucket);
std::optional<Scope> scopeNamed(std::string_view name);
std::string_view scopeName(Scope scope);

}  // namespace mivet::sim
