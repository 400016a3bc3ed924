// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "storage/services.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// The small screens that set up the cellular plan. Each reads its starting values from the user
// defaults and writes every change straight back: the plan in force is always what the defaults
// hold.

// Monthly (row 0) or weekly (any other row).
class PlanTypeViewController {
  public:
    explicit PlanTypeViewController(Services &services);
    unsigned planType = 0;
    bool isChecked(unsigned row) const { return row == planType; }
    // Choosing a row.
    void tableView(unsigned row);

  private:
    Services &services_;
};

// The day of the month or the weekday the period starts on.
class StartDayViewController {
  public:
    explicit StartDayViewController(Services &services) : services_(services) {}
    void viewDidLoad();
    int numberOfRows() const;
    std::string titleForRow(int row) const;
    // Choosing a row of the wheel.
    void pickerView(int row);

    unsigned planType = 0;
    std::vector<std::string> daysOfWeek;
    std::vector<int> daysOfMonth;
    std::string selectedDate; // the summary label

  private:
    Services &services_;
};

// The length of a custom period, 2 to 1000 days.
class DaysViewController {
  public:
    explicit DaysViewController(Services &services) : services_(services) {}
    void viewDidLoad();
    int numberOfRows() const { return static_cast<int>(days.size()); }
    std::string titleForRow(int row) const;
    void pickerView(int row);

    std::vector<int> days;
    std::string selectedDate;

  private:
    Services &services_;
};

// The start of a custom period, bounded to one period back from today and now.
class CustomDatePickerController {
  public:
    CustomDatePickerController(Services &services, bool wifi = false)
        : services_(services), wifi_(wifi) {}
    void viewDidLoad();
    // The picker changed.
    void setSelectedDate(Instant date);

    Instant minimumDate{};
    Instant maximumDate{};
    Instant date{};

  protected:
    Services &services_;
    bool wifi_;
};

// The custom start date for Wi-Fi.
class CustomWiFiDatePickerController : public CustomDatePickerController {
  public:
    explicit CustomWiFiDatePickerController(Services &services)
        : CustomDatePickerController(services, true) {}
};

// The start date of the cellular custom period, with its summary.
class StartDateViewController {
  public:
    explicit StartDateViewController(Services &services) : services_(services) {}
    void viewDidLoad();
    void setSelectedDate(Instant date);

    Instant minimumDate{};
    Instant maximumDate{};
    Instant date{};
    std::string selectedDate;

  private:
    Services &services_;
};

// Four digit wheels and a unit wheel ("MB", "GB").
class DigitWheels {
  public:
    static constexpr int kDigitWheels = 4;
    static constexpr int kUnitWheel = 4;
    int numberOfComponents() const { return 5; }
    int numberOfRows(int component) const { return component == kUnitWheel ? 2 : 10; }
    std::string titleForRow(int row, int component) const;
    int widthForComponent(int component) const { return component == kUnitWheel ? 60 : 40; }
    // 1000 × wheel 0 + 100 × wheel 1 + 10 × wheel 2 + wheel 3.
    int value() const;
    std::string unit() const { return selected[kUnitWheel] == 0 ? "MB" : "GB"; }
    // Places a whole number's digits from the right; digits beyond four are dropped.
    void show(long long number);

    std::array<int, 5> selected{};
    std::vector<std::string> quota{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
};

// The plan's quota; never 0.
class QuotaViewController : public DigitWheels {
  public:
    explicit QuotaViewController(Services &services) : services_(services) {}
    void viewDidLoad();
    void pickerView(int row, int component);
    std::string selectedQuota;

  private:
    Services &services_;
};

// How much of the current period is already used; goes straight into the cellular record.
class CurrentUsageViewController : public DigitWheels {
  public:
    explicit CurrentUsageViewController(Services &services) : services_(services) {}
    void viewDidLoad();
    void pickerView(int row, int component);
    std::string selectedQuota;

  private:
    Services &services_;
};

} // namespace byteward
