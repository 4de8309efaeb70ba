#pragma once
// Settings files another writer (or a person) may leave, and the value of
// "k" in section "S" that the window's QSettings reads from each. The Qt
// build checks the table against QSettings itself.

namespace vellumar::test {

struct IniFormCase {
    const char* file;
    const char* value;
};

inline constexpr IniFormCase kIniForms[] = {
    {"[S]\nk=plain\n", "plain"},
    {"[ S ]\n  k =  spaced value  \n", "spaced value"},
    {"[S]\nk=\"quoted \" joined\n", "quoted joined"},  // blanks after a quote go
    {"[S]\nk=a  \"  b  \"  c\n", "a    b  c"},
    {"[S]\nk=a \\x20 ;c\n", "a  "},
    {"[S]\nk=a;comment\n", "a"},
    {"[S]\nk=\"x\" ; comment\n", "x"},
    {"[S]\nk=a,b\n", ""},  // a list: no text
    {"[S]\nk=\\x41x\\x42\\101\n", "AxBA"},
    {"[S]\nk=\\x100\n", "?"},  // beyond Latin-1
    {"[S]\nk=\\t\\n\\\"\\\\\\q\n", "\t\n\"\\"},
    {"[S]\nk=\xC3\xA9\xC2\x80\n", "\xE9\x80"},
    {"[S]\nk=\xE9\xFF\n", "??"},  // not UTF-8
    {"[S]\nk=\xE2\x82\xAC\n", "?"},
    {"[S]\nk=@@at\n", "@at"},
    {"[S]\nk=@String(text)\n", "text"},
    {"[S]\nk=@ByteArray(\\xc3\\xa9)\n", "\xE9"},
    {"[S]\nk=@Invalid()\n", ""},
    {"[S]\n%6B=escaped key\n", "escaped key"},
    {"[S]\nk=first\nk=last\n", "last"},
    {"[S]\r\nk=line\\\r\n  two\r\n", "line  two"},
    {"[S]\nk=a\\\n\nj=b\n", "a"},
    {"[S]\n; comment\\\nk=after a comment\n", "after a comment"},
    {"[S]\n#k\\\nk=joined to the line above\n", ""},
    {"[S]\n#k=hash\n", ""},
    {"; comment\n[%53]\nk=escaped section\n", "escaped section"},
    {"[S]\nk=one\n[T]\nk=other\n[S]\nj=two\n", "one"},
    {"\xEF\xBB\xBF[S]\nk=after a byte order mark\n", "after a byte order mark"},
};

}  // namespace vellumar::test
