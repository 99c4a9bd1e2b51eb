# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Which page controls the link. One page at a time does; the others watch.

- The first page controls. It gets a token, which it keeps in its own
  storage: a reload presents it and keeps control.
- When the controlling page goes, control waits RECLAIM_S for it to come
  back (a reload); then it passes to the page that has waited longest.
- A watching page may ask for control. The controlling page sees the ask
  and hands over or keeps control; an ask left unanswered for ASK_S is
  granted (a page forgotten in a tab elsewhere must not lock everyone out).
"""
import time

from .ui_guard import new_token, token_matches

RECLAIM_S = 5.0
ASK_S = 20.0


class Control:
    def __init__(self, clock=time.monotonic):
        self.clock = clock
        self.pages = []  # in the order they came
        self.controller = None
        self.token = None
        self.reserved_until = None  # while the controller may come back
        self.ask = None  # (page, deadline)
        self.note = None  # the last change in words, for the pages

    def _grant(self, page, why):
        self.controller = page
        self.token = new_token()
        self.reserved_until = None
        self.ask = None
        self.note = why

    def join(self, page, token=None):
        self.pages.append(page)
        if self.token is not None and token_matches(token, self.token):
            # The same page after a reload (its old socket may linger).
            self.controller = page
            self.reserved_until = None
            self.note = "control kept across a reload"
        elif self.controller is None and self.reserved_until is None:
            self._grant(page, "the first page takes control")

    def leave(self, page):
        if page in self.pages:
            self.pages.remove(page)
        if self.ask is not None and self.ask[0] is page:
            self.ask = None
        if self.controller is page:
            self.controller = None
            self.reserved_until = self.clock() + RECLAIM_S
            self.ask = None
            self.note = "the controlling page went; it may come back"

    def ask_for(self, page):
        """A watching page asks to control; False when it cannot ask."""
        if page is self.controller or page not in self.pages:
            return False
        if self.controller is None:
            self._grant(page, "control taken: no page had it")
            return True
        self.ask = (page, self.clock() + ASK_S)
        self.note = "a watching page asks for control"
        return True

    def answer(self, page, hand_over):
        if page is not self.controller or self.ask is None:
            return False
        asker = self.ask[0]
        if hand_over:
            self._grant(asker, "control handed over")
        else:
            self.ask = None
            self.note = "the controlling page keeps control"
        return True

    def tick(self):
        """Deadlines; True when who controls changed."""
        now = self.clock()
        if self.ask is not None and now >= self.ask[1]:
            self._grant(self.ask[0], "control passed: the ask went unanswered")
            return True
        if self.reserved_until is not None and now >= self.reserved_until:
            self.reserved_until = None
            self.token = None
            if self.pages:
                self._grant(self.pages[0], "control passed: the controlling page did not come back")
            else:
                self.note = None
            return True
        return False

    def controls(self, page):
        return page is self.controller

    def role(self, page):
        """What `page` is told of its role."""
        controls = page is self.controller
        role = {"kind": "role", "controls": controls, "note": self.note}
        if controls:
            role["token"] = self.token
            role["text"] = "this page controls the link"
            if self.ask is not None:
                role["asked"] = {"left_s": max(0.0, self.ask[1] - self.clock())}
        else:
            role["text"] = "read-only: another page controls the link"
            if self.controller is None and self.reserved_until is not None:
                left = max(0.0, self.reserved_until - self.clock())
                role["text"] = (
                    f"read-only: the controlling page went; control passes in {left:.0f} s "
                    "unless it comes back"
                )
            if self.ask is not None and self.ask[0] is page:
                role["asking"] = {"left_s": max(0.0, self.ask[1] - self.clock())}
        return role
