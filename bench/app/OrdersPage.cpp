// Each cell draws its content from a hash of its row and column (splitmix64's finaliser), so
// no state runs from cell to cell and the standard library's distributions, which differ
// between implementations, are not used.
#include "OrdersPage.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace gridmint::bench {

namespace {

uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t cellHash(size_t row, size_t column) {
    return mix(0x9E3779B97F4A7C15ull * (static_cast<uint64_t>(row) + 1) +
               static_cast<uint64_t>(column));
}

template <typename T, size_t N>
const T& pick(const std::array<T, N>& items, uint64_t hash) {
    return items[hash % N];
}

// A name as the page writes it and as it reads.
struct Written {
    std::string_view html;
    std::string_view text;
};

constexpr std::array<std::string_view, 10> headings = {
    "Order", "Date", "Customer", "City", "Country", "Qty", "Unit price", "Total", "Status", "Note"};

constexpr std::array<Written, 10> customers = {{
    {"Acme Corp", "Acme Corp"},
    {"Barnes &amp; Noble", "Barnes & Noble"},
    {"M&uuml;ller GmbH", "Müller GmbH"},
    {"O&#39;Brien Ltd", "O'Brien Ltd"},
    {"Société Générale", "Société Générale"},
    {"Smith &quot;Jr&quot; &amp; Co", "Smith \"Jr\" & Co"},
    {"株式会社 山田", "株式会社 山田"},
    {"Northwind", "Northwind"},
    {"Contoso", "Contoso"},
    {"Fabrikam, Inc.", "Fabrikam, Inc."},
}};

constexpr std::array<Written, 10> cities = {{
    {"Zürich", "Zürich"},
    {"São Paulo", "São Paulo"},
    {"Kraków", "Kraków"},
    {"Montr&eacute;al", "Montréal"},
    {"Berlin", "Berlin"},
    {"Oslo", "Oslo"},
    {"東京", "東京"},
    {"Paris", "Paris"},
    {"New York", "New York"},
    {"Lyon", "Lyon"},
}};

constexpr std::array<std::string_view, 10> countries = {"CH", "BR", "PL", "CA", "DE",
                                                        "NO", "JP", "FR", "US", "FR"};

constexpr std::array<std::string_view, 5> statuses = {"shipped", "open", "on hold", "returned",
                                                      "cancelled"};

std::string twoDigits(uint64_t n) {
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

std::string padded(uint64_t n, size_t width) {
    std::string digits = std::to_string(n);
    return std::string(digits.size() < width ? width - digits.size() : 0, '0') + digits;
}

// "1,234,567.89" from a count of cents.
std::string amount(uint64_t cents) {
    const std::string digits = std::to_string(cents / 100);
    std::string text;
    for (size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0) text.push_back(',');
        text.push_back(digits[at]);
    }
    return text.append(".").append(twoDigits(cents % 100));
}

OrdersCell same(std::string text) {
    return {text, text};
}

// The cents of an order's unit price and its quantity, shared by three columns.
uint64_t unitCents(size_t row) {
    return 99 + cellHash(row, 1000) % 49'900;
}
uint64_t quantity(size_t row) {
    return 1 + cellHash(row, 1001) % 250;
}

OrdersCell noteCell(size_t row, uint64_t hash) {
    switch (hash % 8) {
        case 0: return {"&mdash;", "—"};
        case 1: return same("gift wrap");
        case 2: return {"<a href=\"/orders/" + std::to_string(row) + "\">details</a>", "details"};
        case 3: return {"5&nbsp;kg", "5\u00a0kg"};
        default: return same("");
    }
}

OrdersCell orderCell(size_t row, size_t kind, uint64_t hash) {
    switch (kind) {
        case 0: return same("SO-" + padded(row, 6));
        case 1:
            return same("2023-" + twoDigits(1 + hash % 12) + "-" + twoDigits(1 + hash / 12 % 28));
        case 2: {
            const Written& customer = pick(customers, hash);
            return {std::string(customer.html), std::string(customer.text)};
        }
        case 3: {
            const Written& city = pick(cities, hash);
            return {std::string(city.html), std::string(city.text)};
        }
        case 4: return same(std::string(pick(countries, hash)));
        case 5: return same(std::to_string(quantity(row)));
        case 6: return {"&euro;" + amount(unitCents(row)), "€" + amount(unitCents(row))};
        case 7: return same(amount(unitCents(row) * quantity(row)));
        case 8: return same(std::string(pick(statuses, hash)));
        default: return noteCell(row, hash);
    }
}

}  // namespace

OrdersCell ordersCell(size_t row, size_t column) {
    const size_t kind = column % headings.size();
    if (row == 0) {
        std::string heading(headings[kind]);
        if (column >= headings.size())
            heading.append(" ").append(std::to_string(column / headings.size() + 1));
        return same(heading);
    }
    return orderCell(row, kind, cellHash(row, column));
}

std::string ordersPage(size_t rows, size_t columns) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Orders</title></head>\n"
        "<body>\n<h1>Orders</h1>\n<table id=\"orders\" class=\"data\">\n";
    for (size_t row = 0; row < rows; ++row) {
        const std::string_view tag = row == 0 ? "th" : "td";
        page += "<tr>";
        for (size_t column = 0; column < columns; ++column) {
            page.append("<").append(tag).append(">");
            page += ordersCell(row, column).html;
            page.append("</").append(tag).append(">");
        }
        page += "</tr>\n";
    }
    page += "</table>\n</body></html>\n";
    return page;
}

}  // namespace gridmint::bench
