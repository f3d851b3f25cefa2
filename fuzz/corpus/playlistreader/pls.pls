[playlist]
NumberOfEntries=3
File2=/b
Title1=x
File10=rel.mp3
file1 = /a
File3=
Version=2
