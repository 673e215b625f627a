#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the bundled sample card: a made-up transit IC card with 14 uses and 6 empty
history records, in the card image format (resources/samples/sample-transit.json)."""
import json
import sys

# (year, month, day, terminal, kind, balance change)
USES = [
    (2026, 4, 1, 0x07, 0x07, +500),    # new card from a ticket machine
    (2026, 4, 1, 0x09, 0x02, +3000),   # charge
    (2026, 4, 1, 0x16, 0x01, -210),
    (2026, 4, 2, 0x16, 0x01, -210),
    (2026, 4, 2, 0xC8, 0x46, -160),    # vending machine
    (2026, 4, 3, 0x16, 0x01, -330),
    (2026, 4, 3, 0x05, 0x0F, -220),    # bus
    (2026, 4, 6, 0x16, 0x01, -210),
    (2026, 4, 6, 0xC7, 0x46, -1480),   # shop
    (2026, 4, 7, 0x1F, 0x02, +2000),
    (2026, 4, 7, 0x16, 0x01, -1340),
    (2026, 4, 8, 0x16, 0x14, -210),    # entry with auto-charge
    (2026, 4, 9, 0xC7, 0x46, -648),
    (2026, 4, 10, 0x16, 0x01, -210),
]


def block(year, month, day, terminal, kind, balance, serial):
    date = ((year - 2000) << 9) | (month << 5) | day
    data = bytes([terminal, kind, 0, 0, date >> 8, date & 0xFF, 0x01, 0x02, 0x01, 0x05,
                  balance & 0xFF, balance >> 8, 0, serial >> 8, serial & 0xFF, 0x00])
    return data.hex().upper()


def main():
    balance = 0
    records = []
    for serial, (y, m, d, terminal, kind, change) in enumerate(USES, start=1):
        balance += change
        records.append(block(y, m, d, terminal, kind, balance, serial))
    records.reverse()  # newest first
    records += ["00" * 16] * (20 - len(records))
    attributes = bytes(8) + bytes([0x20, 0, 0, balance & 0xFF, balance >> 8, 0, 0, len(USES)])
    card = {
        "format": "felica-card-image",
        "version": 1,
        "idm": "0123456789ABCDEF",
        "pmm": "100B4B428485D0FF",
        "systems": [{
            "code": "0003",
            "areas": [{"code": "0000", "end": "FFFE"}, {"code": "0040", "end": "07FF"},
                      {"code": "0800", "end": "0FBF"}],
            "services": [
                {"code": "0048"},
                {"code": "008B", "blocks": [attributes.hex().upper()]},
                {"code": "090A"},
                {"code": "090F", "blocks": records},
            ],
        }, {
            "code": "FE00",
            "services": [{"code": "1A88"}],
        }],
    }
    json.dump(card, sys.stdout, indent=1)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
