[playlist]
File1=one.wav
Title1=One
Length1=61
File2=http://example.org/radio
File3=file:///tmp/x.flac
NumberOfEntries=3
Version=2
