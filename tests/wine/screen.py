"""What a console shows, rebuilt from the bytes Wine's console writes to a
terminal (text in UTF-8 and a few VT100 controls). Only what Wine's console
sends is understood: text, CR, LF, BS, and the CSI controls for cursor moves
and erasing; colours and cursor visibility are ignored."""
import re
import unicodedata

_CSI = re.compile(r"\x1b\[([0-9;?]*)([@-~])")


def _width(ch):
    return 2 if unicodedata.east_asian_width(ch) in ("W", "F") else 1


class Screen:
    def __init__(self, columns=80):
        self.columns = columns
        self.rows = [[]]
        self.row = 0
        self.col = 0

    def _line(self):
        while len(self.rows) <= self.row:
            self.rows.append([])
        line = self.rows[self.row]
        while len(line) < self.col:
            line.append(" ")
        return line

    def _put(self, ch):
        w = _width(ch)
        if self.col + w > self.columns:
            self.row += 1
            self.col = 0
        line = self._line()
        cells = [ch] + [""] * (w - 1)
        line[self.col:self.col + w] = cells
        self.col += w

    def _control(self, params, final):
        nums = [int(p) if p.isdigit() else 0 for p in params.lstrip("?").split(";")] if params else []
        n = nums[0] if nums and nums[0] > 0 else 1
        if final == "C":
            self.col = min(self.col + n, self.columns)
        elif final == "D":
            self.col = max(self.col - n, 0)
        elif final == "A":
            self.row = max(self.row - n, 0)
        elif final == "B":
            self.row += n
        elif final in "Hf":
            self.row = (nums[0] - 1 if nums and nums[0] > 0 else 0)
            self.col = (nums[1] - 1 if len(nums) > 1 and nums[1] > 0 else 0)
        elif final == "K":
            line = self._line()
            mode = nums[0] if nums else 0
            if mode == 0:
                del line[self.col:]
            elif mode == 1:
                line[:self.col + 1] = [" "] * (self.col + 1)
            else:
                line[:] = []
        elif final == "J":
            mode = nums[0] if nums else 0
            if mode == 2:
                self.rows = [[]]
            elif mode == 0:
                del self.rows[self.row + 1:]
                del self._line()[self.col:]
        # m (colours), h and l (modes such as cursor visibility): nothing to show

    def feed(self, data):
        text = data.decode("utf-8", "replace") if isinstance(data, bytes) else data
        i = 0
        while i < len(text):
            ch = text[i]
            if ch == "\x1b":
                m = _CSI.match(text, i)
                if m:
                    self._control(m.group(1), m.group(2))
                    i = m.end()
                    continue
                # ESC ] ... BEL (window title) and other escapes: skipped
                if text.startswith("\x1b]", i):
                    end = text.find("\x07", i)
                    i = end + 1 if end >= 0 else len(text)
                    continue
                i += 2
                continue
            if ch == "\r":
                self.col = 0
            elif ch == "\n":
                self.row += 1
            elif ch == "\b":
                self.col = max(self.col - 1, 0)
            elif ch >= " ":
                self._put(ch)
            i += 1
        return self

    def lines(self):
        """Each row as text, trailing blanks removed."""
        return ["".join(c for c in row).rstrip() for row in self.rows]

    def text(self):
        """The rows joined; a row that fills the whole width goes on in the next."""
        out = []
        for row in self.rows:
            s = "".join(row)
            out.append(s if len(row) >= self.columns else s.rstrip() + "\n")
        return "".join(out)


def render(data, columns=80):
    return Screen(columns).feed(data)


if __name__ == "__main__":
    s = render(b"ab\x1b[K\x1b[1Ccd\r\r\nx\xe6\x97\xa5y\x1b[?25l\r\nlong")
    assert s.lines() == ["ab cd", "x\u65e5y", "long"], s.lines()
    s = render(b"A" * 80 + b"B\r\n", columns=80)
    assert s.lines() == ["A" * 80, "B"], s.lines()
    assert s.text() == "A" * 80 + "B\n", repr(s.text())
    print("screen: ok")
